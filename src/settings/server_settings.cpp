#include "settings/server_settings.h"

// Static storage starts zeroed: no directories, read-only, no diagnostics,
// until LoadSettings reads the settings file.
ServerSettings serverSettings;
