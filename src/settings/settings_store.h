#pragma once

// Persistence of ServerSettings in ferry.ini, section "FERRY". The file in
// the working directory wins when it exists at start-up; otherwise the one
// in the per-user configuration folder is used.

constexpr const char* kSettingsFileName = "ferry.ini";
constexpr const char* kSettingsSection = "FERRY";

#include <string>

void LoadSettings();
void SaveSettings();

// The settings file in use as a full path: the one LoadSettings read, or
// the per-user file before it ran. The program keeps what is not the
// server's (the window's state, the log view's size) in sections of its own
// there, through the private-profile calls, beside the FERRY section.
std::string SettingsFilePath();

// True when `path` leads to a settings file of this server, whether it
// exists yet or not: the file loaded at start-up, the working directory's
// file (which the next start loads first and a save may write), and the
// per-user file (where a save falls back to). A peer must not write them.
bool IsSettingsFile(const char* path);
