#pragma once

// What a failed start means on Linux. The sockets service's own text names
// only a number ("Windows Sockets error 10013"); for the two failures a
// first start meets, the program says in a sentence below it what happened
// and what to do.

#include <QString>

// The sentence for the server socket's `errorNumber` when binding UDP
// `port` failed, naming `programPath` where a command needs it; empty for
// errors that have no such sentence.
QString StartupAdvice(int errorNumber, int port, const QString& programPath);

// The port the server socket asks for: the "tftp" service entry's, or 69.
int TftpServicePort();
