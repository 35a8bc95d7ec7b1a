#pragma once

// An error raised by the window layer itself, a printer that cannot be
// opened say. The general error report gives it a caption of its own.

#include <stdexcept>

class WindowError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
