#pragma once

// Persistence of ServerSettings in ferry.ini, section "FERRY". The file in
// the working directory wins when it exists at start-up; otherwise the one
// in the per-user configuration folder is used.

constexpr const char* kSettingsFileName = "ferry.ini";
constexpr const char* kSettingsSection = "FERRY";

void LoadSettings();
void SaveSettings();
