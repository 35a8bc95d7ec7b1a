#pragma once

// The operator's four preferences, read directly by the service at the
// moment a value is needed, so a change takes effect with the next event.

#include <cstdint>

struct ServerSettings
{
    char defaultDirectory[256] = {};  // empty: not in use
    char restrictDirectory[256] = {}; // empty: not in use
    std::int32_t settingsInWorkingDir = 0;
    std::int32_t readWrite = 0;   // 1 read-write, 0 read-only
    std::int32_t diagnostics = 0; // detail lines only when it equals 1
    // Where the server socket listens: empty for every IPv4 address, "::"
    // for every IPv4 and IPv6 address, or one address of this machine.
    char listenAddress[256] = {};
    // 1: read the options a request asks for and answer them; 0: take
    // every request as plain revision 2 TFTP.
    std::int32_t transferOptions = 0;
};

extern ServerSettings serverSettings;

inline bool DiagnosticsOn()
{
    return serverSettings.diagnostics == 1;
}

inline bool TransferOptionsOn()
{
    return serverSettings.transferOptions == 1;
}
