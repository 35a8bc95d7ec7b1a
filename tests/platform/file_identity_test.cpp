#include "platform/file_identity.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A check that only compared the text of two paths would let an alias of a
// protected file through; one that only compared existing files would let a
// peer create it.
TEST(NamesSameFile, SeesThroughEverySpellingOfOneFile)
{
    TempDir dir;
    WriteWholeFile(dir.File("a"), "a");
    WriteWholeFile(dir.File("b"), "b");
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("a", dir.File("soft").c_str()), 0);
    ASSERT_EQ(::link(dir.File("a").c_str(), dir.File("hard").c_str()), 0);
    ASSERT_EQ(::symlink("sub/missing", dir.File("dangling").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path().c_str(), dir.File("sub/up").c_str()), 0);

    const struct
    {
        std::string first;
        std::string second;
        bool same;
    } cases[] = {
        {"a", "a", true},
        {"a", "./sub/../a", true},
        {"a", "sub/up/a", true},
        {"a", "soft", true},
        {"a", "hard", true},
        {"a", "b", false},
        {"missing", "sub/../missing", true},
        {"missing", "sub/up//missing", true},
        {"sub/missing", "dangling", true},
        {"missing", "sub/missing", false},
        {"missing", "Missing", false},
        {"a", "sub/a", false},
        {"nowhere/x", "sub/../nowhere/x", true},
        {"nowhere/x", "nowhere/y", false},
    };

    for (const auto& c : cases) {
        EXPECT_EQ(NamesSameFile(dir.File(c.first), dir.File(c.second)), c.same)
            << c.first << " and " << c.second;
    }
}

} // namespace
