#include "platform/full_path.h"
#include "support/temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The result, or "<failed>" when the call fails; a failure must leave the
// output empty, whatever it held before.
std::string Resolve(const std::string& path)
{
    char out[kMaxPath];
    std::memset(out, 'x', sizeof out);
    std::size_t n = GetFullPathName(path.c_str(), out);
    if (n == 0) {
        EXPECT_STREQ(out, "") << "after failing on " << path;
        return "<failed>";
    }
    EXPECT_EQ(n, std::strlen(out));
    return out;
}

std::string CurrentDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

// Makes and enters nested folders until the working directory is exactly
// `length` characters long.
void EnterDirectoryOfLength(std::size_t length)
{
    std::string cwd = CurrentDirectory();
    ASSERT_LT(cwd.size() + 2, length);
    while (cwd.size() < length) {
        std::size_t step = std::min<std::size_t>(length - cwd.size() - 1, 100);
        std::string name(step, 'd');
        ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
        cwd = CurrentDirectory();
    }
    ASSERT_EQ(cwd.size(), length);
}

class FullPath : public ::testing::Test
{
protected:
    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    std::string cwd = CurrentDirectory();
};

TEST_F(FullPath, JoinsARelativePathToTheWorkingDirectory)
{
    EXPECT_EQ(Resolve("file.bin"), cwd + "/file.bin");
    EXPECT_EQ(Resolve("a/b/file.bin"), cwd + "/a/b/file.bin");
    EXPECT_EQ(Resolve("sub/"), cwd + "/sub");
    EXPECT_EQ(Resolve("."), cwd);
    // Nothing is looked up on disk.
    EXPECT_EQ(Resolve("does/not/exist"), cwd + "/does/not/exist");
}

TEST_F(FullPath, FoldsDotStepsAndAcceptsBothSeparators)
{
    EXPECT_EQ(Resolve("a/./b/../c"), cwd + "/a/c");
    EXPECT_EQ(Resolve("a\\b\\..\\c.txt"), cwd + "/a/c.txt");
    EXPECT_EQ(Resolve("a\\\\b//c"), cwd + "/a/b/c");
    EXPECT_EQ(Resolve("/srv/tftp/../tftp/./x"), "/srv/tftp/x");
    EXPECT_EQ(Resolve("\\srv\\tftp\\x"), "/srv/tftp/x");
    std::string parent = cwd.substr(0, cwd.rfind('/'));
    EXPECT_EQ(Resolve("../sibling"), parent + "/sibling");
}

TEST_F(FullPath, StaysAtTheRootWhenDotDotClimbsPastIt)
{
    EXPECT_EQ(Resolve("/.."), "/");
    EXPECT_EQ(Resolve("/../../etc/passwd"), "/etc/passwd");
    EXPECT_EQ(Resolve("/"), "/");
    EXPECT_EQ(Resolve("../../../../../../../../../../../../x"), "/x");
}

TEST_F(FullPath, AcceptsExactly255CharactersAndRefusesMore)
{
    std::string longest = "/" + std::string(254, 'a');
    EXPECT_EQ(Resolve(longest), longest);
    EXPECT_EQ(Resolve(longest + "b"), "<failed>");
    EXPECT_EQ(Resolve("/" + std::string(100, 'a') + "/" + std::string(200, 'b')), "<failed>");
    // Only the result counts: a long path that folds back under the limit passes.
    EXPECT_EQ(Resolve("/" + std::string(300, 'a') + "/../short"), "/short");
}

TEST_F(FullPath, CountsTheWorkingDirectoryInTheLimit)
{
    EnterDirectoryOfLength(200);
    std::string deep = CurrentDirectory();
    std::string fits(255 - 201, 'f');
    EXPECT_EQ(Resolve(fits), deep + "/" + fits);
    EXPECT_EQ(Resolve(fits + "g"), "<failed>");
}

TEST_F(FullPath, FailsWhenTheWorkingDirectoryIsTooLong)
{
    EnterDirectoryOfLength(255);
    char out[kMaxPath];
    ASSERT_TRUE(GetWorkingDirectory(out));
    EXPECT_EQ(std::string(out), CurrentDirectory());
    EXPECT_EQ(Resolve("/absolute/still/works"), "/absolute/still/works");

    ASSERT_EQ(::mkdir("e", 0700), 0);
    ASSERT_EQ(::chdir("e"), 0);
    std::memset(out, 'x', sizeof out);
    EXPECT_FALSE(GetWorkingDirectory(out));
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Resolve("x"), "<failed>");
}

} // namespace
