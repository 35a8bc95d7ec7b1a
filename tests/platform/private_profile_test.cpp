#include "platform/private_profile.h"
#include "platform/profile_location.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Get(const char* section, const char* key, const std::string& file,
                const char* defaultValue = "<none>")
{
    char out[256];
    std::size_t n =
        GetPrivateProfileString(section, key, defaultValue, out, sizeof out, file.c_str());
    EXPECT_EQ(n, std::string(out).size());
    return out;
}

std::vector<std::string> FolderListing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PrivateProfile : public ::testing::Test
{
protected:
    TempDir dir;
    std::string ini = dir.File("test.ini");
};

TEST_F(PrivateProfile, ReadsTrimmedValuesWithNamesInAnyCase)
{
    WriteWholeFile(ini, "orphan=before any section\n"
                        "  [ Ferry ]  \n"
                        "  defaultdirectory \t=  /srv/tftp  \t\n"
                        "equation=a=b=c\n"
                        "noequals line\n");
    EXPECT_EQ(Get("FERRY", "DefaultDirectory", ini), "/srv/tftp");
    EXPECT_EQ(Get("ferry", "DEFAULTDIRECTORY", ini), "/srv/tftp");
    EXPECT_EQ(Get("FERRY", "equation", ini), "a=b=c");
    EXPECT_EQ(Get("FERRY", "noequals line", ini), "<none>");
    EXPECT_EQ(Get("FERRY", "orphan", ini), "<none>");
}

TEST_F(PrivateProfile, ReadsCrLfAndLfAlikeAndALastLineWithoutLineEnd)
{
    WriteWholeFile(ini, "[A]\r\nkey=crlf value\r\n[B]\nkey=lf value\n[C]\nkey=no end");
    EXPECT_EQ(Get("A", "key", ini), "crlf value");
    EXPECT_EQ(Get("B", "key", ini), "lf value");
    EXPECT_EQ(Get("C", "key", ini), "no end");
}

TEST_F(PrivateProfile, FirstSectionAndFirstKeyWin)
{
    WriteWholeFile(ini, "[FERRY]\nKey=first\nkey=second\n[Other]\nKey=other\n"
                        "[ferry]\nKey=third\nLater=only in the repeated section\n");
    EXPECT_EQ(Get("FERRY", "Key", ini), "first");
    EXPECT_EQ(Get("Other", "Key", ini), "other");
    EXPECT_EQ(Get("FERRY", "Later", ini), "<none>");
}

TEST_F(PrivateProfile, MissingFileSectionOrKeyGivesTheDefault)
{
    WriteWholeFile(ini, "[FERRY]\nKey=value\nEmpty=\n");
    EXPECT_EQ(Get("FERRY", "Key", dir.File("absent.ini"), "fallback"), "fallback");
    EXPECT_EQ(Get("NOPE", "Key", ini, "fallback"), "fallback");
    EXPECT_EQ(Get("FERRY", "Nope", ini, ""), "");
    EXPECT_EQ(Get("FERRY", "Nope", ini, nullptr), "");
    // Present but empty is a value, not a missing key.
    EXPECT_EQ(Get("FERRY", "Empty", ini, "fallback"), "");
}

TEST_F(PrivateProfile, CutsALongValueToTheBuffer)
{
    WriteWholeFile(ini, "[S]\nk=abcdef\n");
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", out, sizeof out, ini.c_str()), 3u);
    EXPECT_STREQ(out, "abc");
    char one[1] = {'x'};
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", one, sizeof one, ini.c_str()), 0u);
    EXPECT_EQ(one[0], '\0');
    // The default is cut the same way.
    EXPECT_EQ(GetPrivateProfileString("S", "missing", "12345", out, sizeof out, ini.c_str()), 3u);
    EXPECT_STREQ(out, "123");
}

TEST_F(PrivateProfile, CreatesAMissingFileWithLfLineEnds)
{
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "AccessMode", "ReadOnly", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "DiagnosticMode", "DiagnosticOn", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nAccessMode=ReadOnly\nDiagnosticMode=DiagnosticOn\n");
    // Nothing but the file is left in its folder.
    EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"test.ini"});
}

TEST_F(PrivateProfile, ReplacesAKeyInPlaceAndLeavesEveryOtherLineAlone)
{
    const std::string before = "; settings\n"
                               "[Other]\n"
                               "AccessMode = keep me   \n"
                               "\n"
                               "[ferry]\n"
                               "  defaultdirectory =  /old  \n"
                               "# a comment = not a key we know\n"
                               "AccessMode=ReadOnly\n"
                               "\n"
                               "[Last]\n"
                               "x=1\n";
    WriteWholeFile(ini, before);
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "DefaultDirectory", "/new dir", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "; settings\n"
                                  "[Other]\n"
                                  "AccessMode = keep me   \n"
                                  "\n"
                                  "[ferry]\n"
                                  "DefaultDirectory=/new dir\n"
                                  "# a comment = not a key we know\n"
                                  "AccessMode=ReadOnly\n"
                                  "\n"
                                  "[Last]\n"
                                  "x=1\n");
}

TEST_F(PrivateProfile, AddsAMissingKeyAtTheEndOfItsSection)
{
    WriteWholeFile(ini, "[FERRY]\nA=1\n\n\n[Last]\nx=1\n");
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "B", "2", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nA=1\nB=2\n\n\n[Last]\nx=1\n");

    ASSERT_TRUE(WritePrivateProfileString("Last", "y", "2", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nA=1\nB=2\n\n\n[Last]\nx=1\ny=2\n");
}

TEST_F(PrivateProfile, AppendsAMissingSectionAfterABlankLine)
{
    WriteWholeFile(ini, "[Other]\nx=1");
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Key", "value", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[Other]\nx=1\n\n[FERRY]\nKey=value\n");
}

TEST_F(PrivateProfile, KeepsTheCrLfStyleOfTheFile)
{
    WriteWholeFile(ini, "[FERRY]\r\nA=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "A", "one", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "B", "2", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("New", "C", "3", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\r\nA=one\r\nB=2\r\n\r\n[New]\r\nC=3\r\n");
    EXPECT_EQ(Get("FERRY", "A", ini), "one");
}

TEST_F(PrivateProfile, WritesValuesThatReadBackUnchanged)
{
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Empty", "", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Spaced", "  a b  ", ini.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Equals", "x=y;z", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nEmpty=\nSpaced=a b\nEquals=x=y;z\n");
    EXPECT_EQ(Get("FERRY", "Empty", ini), "");
    EXPECT_EQ(Get("FERRY", "Equals", ini), "x=y;z");
}

TEST_F(PrivateProfile, RefusesLineBreaksThatWouldForgeKeys)
{
    WriteWholeFile(ini, "[FERRY]\nAccessMode=ReadOnly\n");
    EXPECT_FALSE(WritePrivateProfileString("FERRY", "DefaultDirectory", "/x\nAccessMode=ReadWrite",
                                           ini.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("FERRY", "Key\r\n[Other]", "v", ini.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("FERRY\n", "Key", "v", ini.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("FERRY", "A=B", "v", ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nAccessMode=ReadOnly\n");
}

TEST_F(PrivateProfile, NullValueRemovesTheKeyAndNullKeyTheSection)
{
    WriteWholeFile(ini, "[FERRY]\nA=1\nB=2\n\n[Other]\nx=1\n");
    ASSERT_TRUE(WritePrivateProfileString("ferry", "a", nullptr, ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[FERRY]\nB=2\n\n[Other]\nx=1\n");
    ASSERT_TRUE(WritePrivateProfileString("FERRY", nullptr, nullptr, ini.c_str()));
    EXPECT_EQ(ReadWholeFile(ini), "[Other]\nx=1\n");
    // Removing what is not there changes nothing and creates nothing.
    ASSERT_TRUE(WritePrivateProfileString("Gone", "x", nullptr, dir.File("none.ini").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.ini")));
}

TEST_F(PrivateProfile, FailsWithoutDamageWhenTheFileCannotBeReplaced)
{
    // A missing folder of an explicit path is not created.
    EXPECT_FALSE(
        WritePrivateProfileString("S", "k", "v", dir.File("no/such/folder/x.ini").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
    // A folder where the file should be is left alone.
    std::filesystem::create_directory(dir.File("folder.ini"));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.File("folder.ini").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.ini")));
    EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"folder.ini"});
}

TEST_F(PrivateProfile, KeepsPermissionsAndLinksOfTheReplacedFile)
{
    WriteWholeFile(ini, "[S]\nk=old\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
    std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(ini, link);

    ASSERT_TRUE(WritePrivateProfileString("S", "k", "new", link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(ini), "[S]\nk=new\n");
    struct stat info;
    ASSERT_EQ(::stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(ProfileDirectory, BareNamesLiveInThePerUserConfigurationFolder)
{
    TempDir dir;
    std::string config = dir.File("config");
    EnvironmentGuard xdg("XDG_CONFIG_HOME", config.c_str());
    EXPECT_EQ(ProfileDirectory(), config + "/ferry");

    // The folders are made on the first write, and the read finds the file.
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Key", "value", "bare.ini"));
    EXPECT_EQ(ReadWholeFile(config + "/ferry/bare.ini"), "[FERRY]\nKey=value\n");
    EXPECT_EQ(Get("FERRY", "Key", "bare.ini"), "value");
}

TEST(ProfileDirectory, FallsBackToHomeWhenXdgIsUnsetEmptyOrRelative)
{
    TempDir dir;
    EnvironmentGuard home("HOME", dir.Path().c_str());
    {
        EnvironmentGuard xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(ProfileDirectory(), dir.Path() + "/.config/ferry");
    }
    {
        EnvironmentGuard xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(ProfileDirectory(), dir.Path() + "/.config/ferry");
    }
    EnvironmentGuard xdg("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(ProfileDirectory(), dir.Path() + "/.config/ferry");
    ASSERT_TRUE(WritePrivateProfileString("FERRY", "Key", "value", "ferry.ini"));
    EXPECT_EQ(ReadWholeFile(dir.Path() + "/.config/ferry/ferry.ini"), "[FERRY]\nKey=value\n");
}

} // namespace
