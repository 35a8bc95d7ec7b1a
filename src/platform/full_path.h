#pragma once

// Text-only full-path resolution: a relative path is joined to the working
// directory, "." and ".." steps are folded, both '\' and '/' separate steps,
// nothing is looked up on disk. The result uses '/' and has no trailing
// separator except for the root itself.

#include <cstddef>

constexpr std::size_t kMaxPath = 256; // 255 characters and a terminator

// Returns the length of the result, or 0 when the working directory cannot be
// read or the result would be longer than 255 characters (out is then left
// holding an empty string).
std::size_t GetFullPathName(const char* path, char (&out)[kMaxPath]);

// The working directory into `out`, or false when it does not fit.
bool GetWorkingDirectory(char (&out)[kMaxPath]);
