#include "platform/string_table.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string Load(unsigned id)
{
    char out[256] = "untouched";
    int n = LoadStringResource(id, out, sizeof out);
    return n == 0 ? std::string() : std::string(out, static_cast<std::size_t>(n));
}

TEST(StringTable, HoldsTheHintsAndWindowTexts)
{
    EXPECT_EQ(Load(24337), "Print this document");
    EXPECT_EQ(Load(24350), "Search/replace operations");
    EXPECT_EQ(Load(32530), "EXT|CAPS|NUM|SCRL|OVR|REC");
    EXPECT_EQ(Load(32765), "OK to resume?");
    EXPECT_EQ(Load(61488), "Enlarges the window to it maximum size");
    EXPECT_EQ(Load(65535), "File/document operations");
}

// The socket error texts fall back to "Windows Sockets error N" only because
// no socket error number (and not 200) has a string of its own.
TEST(StringTable, HasNoSocketErrorTexts)
{
    EXPECT_EQ(Load(200), "");
    for (unsigned id = 10004; id <= 11004; ++id)
        EXPECT_EQ(Load(id), "") << id;
    // Neighbours of real entries are absent too: the pop-ups without a hint
    // rely on that.
    EXPECT_EQ(Load(22004), "");
    EXPECT_EQ(Load(24325), "");
    EXPECT_EQ(Load(1999), "");
}

TEST(StringTable, CutsToTheBufferAndAlwaysTerminates)
{
    char out[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(LoadStringResource(24326, out, sizeof out), 5);
    EXPECT_STREQ(out, "Clear");
    char none[1] = {'x'};
    EXPECT_EQ(LoadStringResource(24326, none, sizeof none), 0);
    EXPECT_EQ(none[0], '\0');
}

} // namespace
