#include "settings/log_view_settings.h"

#include "platform/private_profile.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

int ParseLogViewMaxLines(const char* value)
{
    if (value == nullptr || *value < '0' || *value > '9')
        return kDefaultLogViewMaxLines;
    char* end = nullptr;
    errno = 0;
    const unsigned long long lines = std::strtoull(value, &end, 10);
    if (*end != '\0')
        return kDefaultLogViewMaxLines;
    if (errno == ERANGE || lines > static_cast<unsigned long long>(kMostLogViewLines))
        return kMostLogViewLines;
    if (lines == 0)
        return 0;
    return std::max(static_cast<int>(lines), kFewestLogViewLines);
}

int LoadLogViewMaxLines()
{
    char value[32];
    GetPrivateProfileString(kLogViewSection, kMaxLinesKey, "", value, sizeof value,
                            SettingsFilePath().c_str());
    return ParseLogViewMaxLines(value);
}
