#include "platform/private_profile.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string CurrentDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

std::vector<std::string> FolderListing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void SetDirectory(char (&field)[256], const std::string& text)
{
    ASSERT_LT(text.size(), sizeof field);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

// Settings as a test sees them, so a failure prints every field.
std::string Describe(const ServerSettings& s)
{
    return "default=\"" + std::string(s.defaultDirectory) + "\" restrict=\"" +
           std::string(s.restrictDirectory) +
           "\" inWorkingDir=" + std::to_string(s.settingsInWorkingDir) +
           " readWrite=" + std::to_string(s.readWrite) +
           " diagnostics=" + std::to_string(s.diagnostics);
}

// The start-up state, except that directories and flags hold leftovers that
// a load must replace.
void FillWithLeftovers()
{
    serverSettings = ServerSettings{};
    SetDirectory(serverSettings.defaultDirectory, "/leftover/default");
    SetDirectory(serverSettings.restrictDirectory, "/leftover/restrict");
    serverSettings.readWrite = 1;
    serverSettings.diagnostics = 1;
}

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override { serverSettings = ServerSettings{}; }

    void TearDown() override { serverSettings = ServerSettings{}; }

    TempDir work;
    TempDir config;
    WorkingDirectoryGuard inWork{work.Path()};
    EnvironmentGuard xdg{"XDG_CONFIG_HOME", config.Path().c_str()};
    std::string workFile = CurrentDirectory() + "/ferry.ini";
    std::string userFolder = config.Path() + "/ferry";
    std::string userFile = userFolder + "/ferry.ini";

    void WriteUserFile(const std::string& content)
    {
        std::filesystem::create_directories(userFolder);
        WriteWholeFile(userFile, content);
    }
};

TEST_F(SettingsStore, WithNoFileAnywhereTheDefaultsHold)
{
    FillWithLeftovers();
    LoadSettings();
    EXPECT_EQ(Describe(serverSettings),
              "default=\"\" restrict=\"\" inWorkingDir=0 readWrite=0 diagnostics=0");
    // Loading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(userFolder));
    EXPECT_TRUE(FolderListing(work.Path()).empty());
}

TEST_F(SettingsStore, SavesToThePerUserFileAndReadsItBack)
{
    SetDirectory(serverSettings.defaultDirectory, "/srv/tftp/");
    SetDirectory(serverSettings.restrictDirectory, "/srv/Tftp Root");
    serverSettings.readWrite = 1;
    serverSettings.diagnostics = 1;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\n"
                                       "DefaultDirectory=/srv/tftp/\n"
                                       "RestrictDirectory=/srv/Tftp Root\n"
                                       "AccessMode=ReadWrite\n"
                                       "DiagnosticMode=DiagnosticOn\n");
    EXPECT_FALSE(std::filesystem::exists(workFile));

    serverSettings = ServerSettings{};
    LoadSettings();
    EXPECT_EQ(Describe(serverSettings), "default=\"/srv/tftp/\" restrict=\"/srv/Tftp Root\" "
                                        "inWorkingDir=0 readWrite=1 diagnostics=1");
}

TEST_F(SettingsStore, WritesEmptyDirectoriesAndTheOffWords)
{
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\n"
                                       "DefaultDirectory=\n"
                                       "RestrictDirectory=\n"
                                       "AccessMode=ReadOnly\n"
                                       "DiagnosticMode=DiagnosticOff\n");
    FillWithLeftovers();
    LoadSettings();
    EXPECT_EQ(Describe(serverSettings),
              "default=\"\" restrict=\"\" inWorkingDir=0 readWrite=0 diagnostics=0");
}

TEST_F(SettingsStore, OnlyTheExactWordsSwitchAFlagOn)
{
    struct Case
    {
        const char* access;
        const char* diagnostic;
        std::int32_t readWrite;
        std::int32_t diagnostics;
    };

    const Case cases[] = {
        {"readwrite", "diagnosticon", 1, 1},
        {"READWRITE", "DIAGNOSTICON", 1, 1},
        {"  ReadWrite\t", " DiagnosticOn ", 1, 1},
        {"Read Write", "DiagnosticOff", 0, 0},
        {"RW", "On", 0, 0},
        {"1", "1", 0, 0},
        {"ReadWriteX", "DiagnosticOnce", 0, 0},
        {"", "", 0, 0},
    };
    for (const Case& c : cases) {
        WriteUserFile(std::string("[FERRY]\nAccessMode=") + c.access +
                      "\nDiagnosticMode=" + c.diagnostic + "\n");
        FillWithLeftovers();
        LoadSettings();
        EXPECT_EQ(serverSettings.readWrite, c.readWrite) << "AccessMode=" << c.access;
        EXPECT_EQ(serverSettings.diagnostics, c.diagnostics) << "DiagnosticMode=" << c.diagnostic;
    }
}

TEST_F(SettingsStore, ReadsNamesInAnyCaseAndCrLfFiles)
{
    WriteUserFile("[ferry]\r\ndefaultdirectory = /srv/a\r\nRESTRICTDIRECTORY=/srv\r\n"
                  "accessmode=readwrite\r\n");
    LoadSettings();
    EXPECT_EQ(Describe(serverSettings),
              "default=\"/srv/a\" restrict=\"/srv\" inWorkingDir=0 readWrite=1 diagnostics=0");
}

TEST_F(SettingsStore, AnEmptyKeyLeavesItsDirectoryEmpty)
{
    WriteUserFile("[FERRY]\nDefaultDirectory=\nRestrictDirectory=   \n");
    FillWithLeftovers();
    LoadSettings();
    EXPECT_STREQ(serverSettings.defaultDirectory, "");
    EXPECT_STREQ(serverSettings.restrictDirectory, "");
}

TEST_F(SettingsStore, CutsAnOverlongDirectoryTo255Characters)
{
    std::string longValue = "/" + std::string(299, 'x');
    WriteUserFile("[FERRY]\nDefaultDirectory=" + longValue + "\nRestrictDirectory=/srv\n");
    LoadSettings();
    EXPECT_EQ(std::string(serverSettings.defaultDirectory), longValue.substr(0, 255));
    EXPECT_STREQ(serverSettings.restrictDirectory, "/srv");
}

TEST_F(SettingsStore, SavingKeepsTheOtherContentOfThePerUserFile)
{
    WriteUserFile("; kept\n[Window]\nAccessMode=not ours\n\n[FERRY]\nExtra=keep\n"
                  "AccessMode=ReadOnly\n\n[Tail]\nx=1\n");
    serverSettings.readWrite = 1;
    SetDirectory(serverSettings.defaultDirectory, "/data");
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), "; kept\n[Window]\nAccessMode=not ours\n\n[FERRY]\n"
                                       "Extra=keep\nAccessMode=ReadWrite\n"
                                       "DefaultDirectory=/data\nRestrictDirectory=\n"
                                       "DiagnosticMode=DiagnosticOff\n\n[Tail]\nx=1\n");
}

// Other sections (the window's state, say) and keys of a later version are
// not the settings' to drop.
TEST_F(SettingsStore, AWorkingDirectoryFileWinsAndKeepsWhatIsNotTheSettings)
{
    const std::string user = "[FERRY]\nDefaultDirectory=/user\nAccessMode=ReadWrite\n";
    WriteUserFile(user);
    WriteWholeFile(workFile, "[Other]\r\nx=1\r\n[FERRY]\r\nRestrictDirectory=/work\r\n"
                             "DiagnosticMode=DiagnosticOn\r\nExtra=kept\r\n");
    LoadSettings();
    EXPECT_EQ(Describe(serverSettings),
              "default=\"\" restrict=\"/work\" inWorkingDir=1 readWrite=0 diagnostics=1");

    SetDirectory(serverSettings.defaultDirectory, "/new");
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(workFile), "[Other]\r\nx=1\r\n[FERRY]\r\nExtra=kept\r\n"
                                       "DefaultDirectory=/new\r\nRestrictDirectory=/work\r\n"
                                       "AccessMode=ReadOnly\r\nDiagnosticMode=DiagnosticOn\r\n");
    EXPECT_EQ(ReadWholeFile(userFile), user);
    // The file was replaced in one step: no temporary file is left beside it.
    EXPECT_EQ(FolderListing(work.Path()), std::vector<std::string>{"ferry.ini"});
}

// An operator who never chose a listen address keeps a file without the key;
// once it is in the file it stays there, also when emptied again.
TEST_F(SettingsStore, ListenAddressIsWrittenOnceInUseAndKeptWhenEmptied)
{
    const char* kFourKeys = "[FERRY]\nDefaultDirectory=\nRestrictDirectory=\n"
                            "AccessMode=ReadOnly\nDiagnosticMode=DiagnosticOff\n";
    for (bool inWorkingDirectory : {false, true}) {
        SCOPED_TRACE(inWorkingDirectory ? "working directory" : "per-user file");
        std::filesystem::remove(workFile);
        std::filesystem::remove(userFile);
        const std::string& file = inWorkingDirectory ? workFile : userFile;
        serverSettings = ServerSettings{};
        serverSettings.settingsInWorkingDir = inWorkingDirectory ? 1 : 0;
        if (inWorkingDirectory)
            WriteWholeFile(workFile, "");
        SaveSettings();
        EXPECT_EQ(ReadWholeFile(file), kFourKeys);

        SetDirectory(serverSettings.listenAddress, "fd00::1");
        SaveSettings();
        EXPECT_EQ(ReadWholeFile(file), std::string(kFourKeys) + "ListenAddress=fd00::1\n");
        serverSettings = ServerSettings{};
        LoadSettings();
        EXPECT_STREQ(serverSettings.listenAddress, "fd00::1");

        serverSettings.listenAddress[0] = '\0';
        SaveSettings();
        EXPECT_EQ(ReadWholeFile(file), std::string(kFourKeys) + "ListenAddress=\n");
        LoadSettings();
        EXPECT_STREQ(serverSettings.listenAddress, "");
    }
}

// Negotiation is on for "Negotiate" in any letter case and nothing else;
// the key is written once turned on and says Off when turned off again.
TEST_F(SettingsStore, TransferOptionsAreReadByTheirWordAndWrittenOnceInUse)
{
    const struct
    {
        const char* value;
        std::int32_t on;
    } cases[] = {{"Negotiate", 1},  {"NEGOTIATE", 1}, {"negotiate", 1},
                 {"Negotiated", 0}, {"yes", 0},       {"", 0}};

    for (const auto& c : cases) {
        WriteUserFile(std::string("[FERRY]\nTransferOptions=") + c.value + "\n");
        serverSettings.transferOptions = 1 - c.on;
        LoadSettings();
        EXPECT_EQ(serverSettings.transferOptions, c.on) << c.value;
    }
    const std::string fourKeys = "[FERRY]\nDefaultDirectory=\nRestrictDirectory=\n"
                                 "AccessMode=ReadOnly\nDiagnosticMode=DiagnosticOff\n";
    std::filesystem::remove(userFile);
    serverSettings = ServerSettings{};
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), fourKeys);
    serverSettings.transferOptions = 1;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), fourKeys + "TransferOptions=Negotiate\n");
    serverSettings.transferOptions = 0;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(userFile), fourKeys + "TransferOptions=Off\n");
}

TEST_F(SettingsStore, SavesInTheNewWorkingDirectoryAfterItMoved)
{
    WriteWholeFile(workFile, "[FERRY]\nAccessMode=ReadWrite\n");
    LoadSettings();
    ASSERT_EQ(serverSettings.settingsInWorkingDir, 1);

    TempDir moved;
    WorkingDirectoryGuard inMoved(moved.Path());
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(CurrentDirectory() + "/ferry.ini"), "[FERRY]\n"
                                                                "DefaultDirectory=\n"
                                                                "RestrictDirectory=\n"
                                                                "AccessMode=ReadWrite\n"
                                                                "DiagnosticMode=DiagnosticOff\n");
    EXPECT_EQ(ReadWholeFile(workFile), "[FERRY]\nAccessMode=ReadWrite\n");
    EXPECT_FALSE(std::filesystem::exists(userFile));
}

// A peer must not write the file that was loaded, the one the next start
// would load first or the one a save falls back to, wherever the working
// directory has moved meanwhile.
TEST_F(SettingsStore, KnowsEverySettingsFileInUse)
{
    WriteWholeFile(workFile, "[FERRY]\n");
    LoadSettings();
    TempDir moved;
    WorkingDirectoryGuard inMoved(moved.Path());

    EXPECT_TRUE(IsSettingsFile(workFile.c_str()));
    EXPECT_TRUE(IsSettingsFile((moved.Path() + "/ferry.ini").c_str()));
    EXPECT_TRUE(IsSettingsFile(userFile.c_str()));
    EXPECT_FALSE(IsSettingsFile((work.Path() + "/other.ini").c_str()));
    EXPECT_FALSE(IsSettingsFile((userFolder + "/ferry.ini.bak").c_str()));
}

// Window and log view state go into the file the settings came from, and a
// later Preferences OK keeps them there.
TEST_F(SettingsStore, SectionsOfTheProgramLiveInTheSettingsFileInUse)
{
    WriteWholeFile(workFile, "[FERRY]\nAccessMode=ReadWrite\n");
    LoadSettings();
    ASSERT_EQ(SettingsFilePath(), workFile);
    ASSERT_TRUE(WritePrivateProfileString("Window", "Width", "640", SettingsFilePath().c_str()));
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(workFile), "[FERRY]\nDefaultDirectory=\nRestrictDirectory=\n"
                                       "AccessMode=ReadWrite\nDiagnosticMode=DiagnosticOff\n\n"
                                       "[Window]\nWidth=640\n");
}

TEST_F(SettingsStore, APerUserFileIsNeverPromotedToTheWorkingDirectory)
{
    WriteUserFile("[FERRY]\nAccessMode=ReadWrite\n");
    LoadSettings();
    ASSERT_EQ(serverSettings.settingsInWorkingDir, 0);
    ASSERT_EQ(serverSettings.readWrite, 1);

    WriteWholeFile(workFile, "created later\n");
    serverSettings.diagnostics = 1;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(workFile), "created later\n");
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\nAccessMode=ReadWrite\nDefaultDirectory=\n"
                                       "RestrictDirectory=\nDiagnosticMode=DiagnosticOn\n");
}

TEST_F(SettingsStore, FallsBackToThePerUserFileWhenTheWorkingDirectoryFileCannotBeWritten)
{
    // A folder of that name counts as a settings file at start-up, but cannot
    // be replaced by one.
    ASSERT_TRUE(std::filesystem::create_directory(workFile));
    LoadSettings();
    ASSERT_EQ(serverSettings.settingsInWorkingDir, 1);

    serverSettings.readWrite = 1;
    SaveSettings();
    EXPECT_TRUE(std::filesystem::is_directory(workFile));
    EXPECT_EQ(FolderListing(work.Path()), std::vector<std::string>{"ferry.ini"});
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\n"
                                       "DefaultDirectory=\n"
                                       "RestrictDirectory=\n"
                                       "AccessMode=ReadWrite\n"
                                       "DiagnosticMode=DiagnosticOff\n");
}

// A save that cannot be completed leaves the working directory's file as it
// was, never emptied; a directory with a line break cannot add keys of its
// own to any file.
TEST_F(SettingsStore, AFailedSaveLeavesTheWorkingDirectoryFileWhole)
{
    const std::string before = "[FERRY]\nDefaultDirectory=/kept\nAccessMode=ReadWrite\n";
    WriteWholeFile(workFile, before);
    LoadSettings();
    ASSERT_EQ(serverSettings.settingsInWorkingDir, 1);

    SetDirectory(serverSettings.defaultDirectory, "/x\nDiagnosticMode=DiagnosticOn");
    SaveSettings();
    EXPECT_EQ(ReadWholeFile(workFile), before);
    EXPECT_EQ(FolderListing(work.Path()), std::vector<std::string>{"ferry.ini"});
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\n"
                                       "RestrictDirectory=\n"
                                       "AccessMode=ReadWrite\n"
                                       "DiagnosticMode=DiagnosticOff\n");
}

// The whole path, working directory and "/ferry.ini", must fit in 255
// characters; a longer one is passed over for the per-user file.
TEST_F(SettingsStore, UsesTheWorkingDirectoryFileOnlyWhenItsPathFits)
{
    WriteUserFile("[FERRY]\nDefaultDirectory=/user\n");
    std::string cwd = CurrentDirectory();
    while (cwd.size() < 245) {
        std::string name(std::min<std::size_t>(245 - cwd.size() - 1, 100), 'd');
        ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
        cwd = CurrentDirectory();
    }
    ASSERT_EQ(cwd.size(), 245u);
    WriteWholeFile("ferry.ini", "[FERRY]\nDefaultDirectory=/fits\n");
    LoadSettings();
    EXPECT_STREQ(serverSettings.defaultDirectory, "/fits");
    EXPECT_EQ(serverSettings.settingsInWorkingDir, 1);

    ASSERT_EQ(::mkdir("e", 0700), 0);
    ASSERT_EQ(::chdir("e"), 0);
    WriteWholeFile("ferry.ini", "[FERRY]\nDefaultDirectory=/too long\n");
    serverSettings = ServerSettings{};
    LoadSettings();
    EXPECT_STREQ(serverSettings.defaultDirectory, "/user");
    EXPECT_EQ(serverSettings.settingsInWorkingDir, 0);

    // A save with the flag set falls back the same way.
    serverSettings.settingsInWorkingDir = 1;
    SaveSettings();
    EXPECT_EQ(ReadWholeFile("ferry.ini"), "[FERRY]\nDefaultDirectory=/too long\n");
    EXPECT_EQ(ReadWholeFile(userFile), "[FERRY]\nDefaultDirectory=/user\nRestrictDirectory=\n"
                                       "AccessMode=ReadOnly\nDiagnosticMode=DiagnosticOff\n");
}

} // namespace
