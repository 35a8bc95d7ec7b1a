#pragma once

// Where private-profile files with a bare name live: the per-user
// configuration folder ($XDG_CONFIG_HOME/ferry, else ~/.config/ferry), which
// plays the part of the Windows directory.

#include <string>

std::string ProfileDirectory();

// A name without a '/' placed in the ProfileDirectory; any other name as it is.
std::string ProfilePath(const char* fileName);

// Creates the ProfileDirectory and the folders above it as needed. True when
// it exists afterwards.
bool MakeProfileDirectory();
