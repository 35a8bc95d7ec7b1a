#pragma once

// Starting and stopping the TFTP service as a whole: the sockets service,
// the server socket, and at the end every session.

#include "settings/listen_address.h"

// What went wrong at start-up. The caller shows the text for `errorNumber`.
enum class StartFailure
{
    None,
    SocketsService,   // the sockets service did not start; errorNumber is its error
    SocketsVersion,   // the version granted is older than 1.1; errorNumber is 200
    ServerSocketOpen, // the server socket could not be opened; the last socket error
    ListenAddress,    // the ListenAddress setting cannot be used; listenProblem says why
};

struct ServiceStart
{
    StartFailure failure = StartFailure::None;
    int errorNumber = 0;
    ListenProblem listenProblem = ListenProblem::None;
};

// Starts the sockets service asking for version 1.1, checks the version
// granted and opens the server socket, which writes the first log line.
// After a SocketsVersion, ServerSocketOpen or ListenAddress failure the sockets service is
// still started, so that the caller can show its message first and then
// call StopService().
ServiceStart StartService();

// Destroys every session without telling the peers, then releases the
// sockets service, which closes the server socket. Does nothing when the
// sockets service is not started, so it may be called more than once.
void StopService();
