#pragma once

// Without a display the log goes to standard output as well: each entry is
// written and flushed once it is complete, with LF line ends so that the
// output reads well in a terminal, a pipe or a journal.

#include <string>

class StdoutMirror
{
public:
    void Add(const char* text);
    // Writes what was added since the last flush, if anything.
    void Flush();

private:
    std::string pending;
    bool carriageReturnPending = false;
};
