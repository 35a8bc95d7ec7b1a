// The log view's bound: read from the settings file in use, in its own
// section, and never taken so that a slip of the operator's keeps every line
// (or almost none).

#include "settings/log_view_settings.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>

TEST(LogViewSettings, ParsesOnlyWholeNumbersAndKeepsThemInBounds)
{
    const struct
    {
        const char* value;
        int lines;
    } cases[] = {
        {"", kDefaultLogViewMaxLines},
        {"250000", 250000},
        {"0", 0},
        {"3", kFewestLogViewLines},
        {"99999999999999999999999", kMostLogViewLines},
        {"100000000", kMostLogViewLines},
        {"100000001", kMostLogViewLines},
        {"-5", kDefaultLogViewMaxLines},
        {"+5", kDefaultLogViewMaxLines},
        {"1e6", kDefaultLogViewMaxLines},
        {"5000 lines", kDefaultLogViewMaxLines},
        {"unlimited", kDefaultLogViewMaxLines},
    };

    for (const auto& c : cases)
        EXPECT_EQ(ParseLogViewMaxLines(c.value), c.lines) << '"' << c.value << '"';
}

TEST(LogViewSettings, ComesFromTheSettingsFileInUse)
{
    TempDir work;
    TempDir config;
    WorkingDirectoryGuard inWork{work.Path()};
    EnvironmentGuard xdg{"XDG_CONFIG_HOME", config.Path().c_str()};
    LoadSettings();
    EXPECT_EQ(LoadLogViewMaxLines(), kDefaultLogViewMaxLines);

    // A FERRY key of the same name is not the view's.
    WriteWholeFile(work.File("ferry.ini"),
                   "[FERRY]\r\nMaxLines=20\r\n[logview]\r\nmaxlines = 2500\r\n");
    LoadSettings();
    EXPECT_EQ(LoadLogViewMaxLines(), 2500);
    // Saving the server's settings keeps it.
    SaveSettings();
    EXPECT_EQ(LoadLogViewMaxLines(), 2500);
    serverSettings = ServerSettings{};
}
