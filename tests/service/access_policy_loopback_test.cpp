#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "support/packet_builders.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kNotFound("\0\5\0\1File not found\0", 19);
const std::string kAccess("\0\5\0\2Access violation\0", 21);

class AccessPolicy : public ::testing::Test
{
protected:
    AccessPolicy()
    {
        ::mkdir(dir.File("sub").c_str(), 0755);
        ::mkdir(dir.File("served").c_str(), 0755);
        ::mkdir(dir.File("served/inner").c_str(), 0755);
        WriteWholeFile(dir.File("top"), "top");
        WriteWholeFile(dir.File("sub/deep"), "deep");
        WriteWholeFile(dir.File("served/file"), "served");
        WriteWholeFile(dir.File("served/inner/file"), "inner");
        server.ClearLog();
    }

    // The first reply to a request for `name`, each from a new port so that
    // a transfer left running does not take the next request for a repeat.
    std::string Reply(const std::string& name, bool write = false)
    {
        LoopbackPeer peer(server.Port());
        peer.Send(write ? WriteRequest(name, "octet") : ReadRequest(name, "octet"));
        EXPECT_TRUE(server.Pump());
        auto reply = peer.Receive();
        return reply.value_or("<nothing>");
    }

    static std::string Data(const std::string& content) { return DataBlock(1, content); }

    TempDir dir;
    WorkingDirectoryGuard inDir{dir.Path()};
    TestServer server;
};

TEST_F(AccessPolicy, BareNamesUseTheDefaultDirectoryAndPathsTheWorkingDirectory)
{
    EXPECT_EQ(Reply("top"), Data("top"));
    std::strcpy(serverSettings.defaultDirectory, "served");
    EXPECT_EQ(Reply("file"), Data("served"));
    EXPECT_EQ(Reply("top"), kNotFound);
    // A name with a directory part is placed against the working directory,
    // with either separator.
    EXPECT_EQ(Reply("sub\\deep"), Data("deep"));
    EXPECT_EQ(Reply("sub/deep"), Data("deep"));
    EXPECT_EQ(Reply("served\\inner/file"), Data("inner"));
    std::strcpy(serverSettings.defaultDirectory, (dir.Path() + "/served/").c_str());
    EXPECT_EQ(Reply("file"), Data("served"));
}

TEST_F(AccessPolicy, RestrictedDirectoryAdmitsOnlyFilesDirectlyInIt)
{
    std::strcpy(serverSettings.restrictDirectory, "./served/");
    std::strcpy(serverSettings.defaultDirectory, "served");
    EXPECT_EQ(Reply("file"), Data("served"));
    EXPECT_EQ(Reply("served/file"), Data("served"));
    server.ClearLog();
    EXPECT_EQ(Reply("served/inner/file"), kAccess);
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to read file served/inner/file in format octet\r\n"
                            "The requested file was not in the restricted directory " +
                                dir.File("served") + "\r\n");
    std::strcpy(serverSettings.defaultDirectory, dir.Path().c_str());
    EXPECT_EQ(Reply("top"), kAccess) << "the default directory is no way around it";
    EXPECT_EQ(Reply("served/../top"), kAccess);
    EXPECT_EQ(Reply("served\\..\\top"), kAccess);
    EXPECT_EQ(Reply("/etc/passwd"), kAccess);
    EXPECT_EQ(Reply("../../../../etc/passwd"), kAccess);
    // Letter case counts on this file system.
    EXPECT_EQ(Reply("SERVED/file"), kAccess);
    serverSettings.readWrite = 1;
    EXPECT_EQ(Reply("inner/new", true), kAccess);
    EXPECT_FALSE(std::filesystem::exists(dir.File("served/inner/new")));
}

TEST_F(AccessPolicy, DotNamesAndEmptyNamePartsAreRefused)
{
    serverSettings.readWrite = 1;
    EXPECT_EQ(Reply(".."), kAccess);
    EXPECT_EQ(Reply("."), kAccess);
    EXPECT_EQ(Reply("sub/.."), kAccess);
    EXPECT_EQ(Reply("sub/"), kAccess);
    EXPECT_EQ(Reply(""), kAccess);
    EXPECT_EQ(Reply("sub\\..", true), kAccess);
    EXPECT_NE(server.Log().find("The requested file name is not valid\r\n"), std::string::npos);
}

TEST_F(AccessPolicy, LeadingSeparatorNamesTheRoot)
{
    WriteWholeFile(dir.File("abs"), "absolute");
    EXPECT_EQ(Reply(dir.File("abs")), Data("absolute"));
    EXPECT_EQ(Reply("/"), kAccess);
}

TEST_F(AccessPolicy, ReadOnlyServerLogsTheWriteRequestThenRefuses)
{
    EXPECT_EQ(Reply("new", true), kAccess);
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to write file new in format octet\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("new")));
}

TEST_F(AccessPolicy, PermissionBitsAreHonoured)
{
    serverSettings.readWrite = 1;
    WriteWholeFile(dir.File("locked"), "keep me");
    ::chmod(dir.File("locked").c_str(), 0444);
    EXPECT_EQ(Reply("locked", true), kAccess);
    EXPECT_EQ(ReadWholeFile(dir.File("locked")), "keep me");

    WriteWholeFile(dir.File("secret"), "hidden");
    ::chmod(dir.File("secret").c_str(), 0200);
    EXPECT_EQ(Reply("secret"), kAccess);
    EXPECT_EQ(server.Log(), "127.0.0.1 requested to write file locked in format octet\r\n"
                            "The specified file exists but is set read only\r\n"
                            "127.0.0.1 requested to read file secret in format octet\r\n"
                            "The specified file has no read access\r\n");
}

TEST_F(AccessPolicy, OnlyRegularFilesAreServedOrOverwritten)
{
    serverSettings.readWrite = 1;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0666), 0);
    const std::string notPermitted("\0\5\0\0Operation not permitted\n\0", 29);
    EXPECT_EQ(Reply("fifo"), notPermitted); // would block the one thread
    EXPECT_EQ(Reply("fifo", true), notPermitted);
    EXPECT_EQ(Reply("/dev/zero"), notPermitted); // would stream forever
    EXPECT_EQ(Reply("/dev/null", true), notPermitted);
    EXPECT_EQ(server.SessionCount(), 0u);
}

TEST_F(AccessPolicy, OverlongNamesAreRefusedWithoutOverrun)
{
    serverSettings.readWrite = 1;
    std::string name255(255, 'n');
    std::string name256(256, 'n');
    std::string name507(507, 'n'); // the longest a 516-byte request holds with "octet"
    EXPECT_EQ(Reply(name255), kAccess);
    EXPECT_EQ(Reply(name256, true), kAccess);
    EXPECT_EQ(Reply(name507), kAccess);
    EXPECT_EQ(Reply(std::string(250, 'd') + "/" + std::string(250, 'f')), kAccess);
    EXPECT_NE(server.Log().find("The requested file name is too long\r\n"), std::string::npos);
    // The request line is cut but still ends its line.
    std::string log = server.Log();
    std::size_t line = log.find("requested to read file nnnn");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(log.substr(log.find("\r\n", line) - 3, 5), "nnn\r\n");

    // A name that still fits with the directory is served.
    std::string fits(255 - dir.Path().size() - 1, 'f');
    WriteWholeFile(dir.File(fits), "fits");
    EXPECT_EQ(Reply(fits), Data("fits"));
}

// With writing allowed and ferry.ini in the served directory, a peer could
// replace the settings that the next start loads, and lift every
// restriction with them. Reading it stays allowed.
class SettingsFileAccess : public AccessPolicy
{
protected:
    SettingsFileAccess()
    {
        ::mkdir(dir.File("served/ferry").c_str(), 0755);
        WriteWholeFile(dir.File("ferry.ini"), kSettings);
        LoadSettings();
        serverSettings.readWrite = 1;
        server.ClearLog();
    }

    // The write request for `name` is refused and leaves the settings alone.
    void ExpectRefused(const std::string& name)
    {
        EXPECT_EQ(Reply(name, true), kAccess) << name;
        EXPECT_EQ(server.Log(), "127.0.0.1 requested to write file " + name +
                                    " in format octet\r\n"
                                    "The requested file is the settings file of this server\r\n")
            << name;
        EXPECT_EQ(ReadWholeFile(dir.File("ferry.ini")).value_or("<gone>"), kSettings) << name;
        server.ClearLog();
    }

    const std::string kSettings = "[FERRY]\r\nAccessMode=ReadWrite\r\n";
    EnvironmentGuard xdg{"XDG_CONFIG_HOME", dir.File("served").c_str()};
};

TEST_F(SettingsFileAccess, NoNameReachesTheSettingsFileInUseForWriting)
{
    ASSERT_EQ(::symlink("ferry.ini", dir.File("alias.ini").c_str()), 0);
    ASSERT_EQ(::link(dir.File("ferry.ini").c_str(), dir.File("hard.ini").c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path().c_str(), dir.File("here").c_str()), 0);
    for (const std::string& name :
         {std::string("ferry.ini"), std::string("./ferry.ini"), std::string("sub/../ferry.ini"),
          std::string("sub\\..\\ferry.ini"), dir.File("ferry.ini"), dir.Path() + "//ferry.ini",
          std::string("alias.ini"), std::string("hard.ini"), std::string("here/ferry.ini")})
        ExpectRefused(name);

    EXPECT_EQ(Reply("ferry.ini"), Data(kSettings));
    EXPECT_EQ(Reply("other.ini", true), Ack(0));
}

TEST_F(SettingsFileAccess, AlsoWhenItIsThePerUserFileOrDoesNotExistYet)
{
    // The per-user file, where a save falls back to, whether it exists yet
    // or not.
    ExpectRefused(dir.File("served/ferry/ferry.ini"));
    WriteWholeFile(dir.File("served/ferry/ferry.ini"), "");
    ExpectRefused(dir.File("served/ferry/ferry.ini"));

    // Loaded from the per-user file, the working directory's file is still
    // what the next start loads first, so a peer must not create it either,
    // not even through a dangling link.
    ASSERT_EQ(::unlink(dir.File("ferry.ini").c_str()), 0);
    LoadSettings();
    serverSettings.readWrite = 1;
    ASSERT_EQ(::symlink(dir.File("ferry.ini").c_str(), dir.File("dangling.ini").c_str()), 0);
    for (const char* name : {"ferry.ini", "sub/../ferry.ini", "dangling.ini"}) {
        EXPECT_EQ(Reply(name, true), kAccess) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.File("ferry.ini"))) << name;
    }
    EXPECT_EQ(Reply("FERRY.INI", true), Ack(0)) << "letter case counts on this file system";
}

TEST_F(AccessPolicy, ControlCharactersInNamesCannotForgeLogLines)
{
    Reply("x\r\nMon, 07 Dec 26 09:00:00  Sent 1 bytes\x7f");
    EXPECT_NE(
        server.Log().find("requested to read file x??Mon, 07 Dec 26 09:00:00  Sent 1 bytes? in"),
        std::string::npos);
}

} // namespace
