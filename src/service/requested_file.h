#pragma once

// The file access policy: where a requested name is looked for, the one
// restricted directory, the file's permission bits, and opening the file.

#include <cstdint>

struct Session;

enum class OpenStatus
{
    Opened,          // the Session's file and startTime are set
    NotFound,        // a file to be read does not exist
    AccessViolation, // refused by the policy or the file's permissions
    OpenFailed,      // the open itself failed; errorNumber says why
    NoRoom,          // the size a writer announced does not fit on the disk
};

struct OpenResult
{
    OpenStatus status = OpenStatus::Opened;
    int errorNumber = 0; // errno after a failed open
};

// Opens the file that `name` (as the peer sent it, NUL-terminated) requests
// for the Session's kind of request. Refusals by the policy write their own
// log line. A write that announced its size in bytes (-1: it did not) is
// refused before anything is created or emptied when that many bytes do
// not fit.
OpenResult OpenRequestedFile(Session* session, const char* name, std::int64_t announcedBytes = -1);
