#include "log/activity_log.h"
#include "log/memory_log_view.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

#include <clocale>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace {

// Called through pointers so that the compiler's format checks do not
// object to the null and empty formats these tests pass on purpose.
void (*const logLine)(const char*, ...) = LogLine;
void (*const reportSocketError)(const char*, ...) = ReportSocketError;

const std::string kStamp = "Sun, 06 Dec 26 01:50:00  ";

class ActivityLog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LogViewWindow = &view;
        clock_testing::SetFixedTime(kTestNow);
    }

    void TearDown() override
    {
        LogViewWindow = nullptr;
        clock_testing::UseRealTime();
        std::setlocale(LC_ALL, "C");
    }

    EnvironmentGuard utc{"TZ", "UTC"};
    MemoryLogView view;
};

TEST_F(ActivityLog, WritesNothingForANullEmptyOrEmptyResultFormat)
{
    logLine(nullptr);
    logLine("");
    LogLine("%s", "");
    LogLine("%s%s", "", "");
    EXPECT_EQ(view.text, "");
    // Not even touched: an append would have made the view read-only.
    EXPECT_FALSE(view.readOnly);
    EXPECT_FALSE(view.modified);
}

TEST_F(ActivityLog, StampsEachEntryInLocalTimeWithEnglishNames)
{
    LogLine("Sent %ld bytes in %ld seconds to %s\r\n", 1024L, 2L, "127.0.0.1");
    clock_testing::SetFixedTime(kTestNow + 36 * 24 * 3600 + 7 * 3600 + 15 * 60 + 7);
    LogLine("%d\r\n", 42);
    EXPECT_EQ(view.text, kStamp + "Sent 1024 bytes in 2 seconds to 127.0.0.1\r\n"
                                  "Mon, 11 Jan 27 09:05:07  42\r\n");
}

TEST_F(ActivityLog, StampsFollowTheTimeZone)
{
    // The same instant under each zone in turn: a change of zone shows at
    // once, not only when the second changes.
    LogLine("x\r\n");
    {
        EnvironmentGuard newYork("TZ", "EST5");
        LogLine("y\r\n");
    }
    LogLine("z\r\n");
    EXPECT_EQ(view.text, kStamp + "x\r\nSat, 05 Dec 26 20:50:00  y\r\n" + kStamp + "z\r\n");
}

TEST_F(ActivityLog, StampsStayEnglishUnderAnotherLocale)
{
    const char* german = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            german = name;
            break;
        }
    }
    if (german == nullptr)
        GTEST_SKIP() << "no German or French locale installed";
    // The locale really names days differently, or this test proves nothing.
    std::tm sunday{};
    sunday.tm_wday = 0;
    char localName[32];
    ASSERT_GT(std::strftime(localName, sizeof localName, "%a", &sunday), 0u);
    ASSERT_STRNE(localName, "Sun") << "under " << german;

    LogLine("x\r\n");
    char stamp[kStampBufferSize];
    FormatTimestamp(stamp, sizeof stamp);
    EXPECT_EQ(view.text, kStamp + "x\r\n") << "under " << german;
    EXPECT_STREQ(stamp, "Sun, 06 Dec 26 01:50:00");
}

TEST_F(ActivityLog, FormatTimestampCutsToItsBuffer)
{
    char stamp[kStampBufferSize];
    std::memset(stamp, 'x', sizeof stamp);
    EXPECT_EQ(FormatTimestamp(stamp, sizeof stamp), 0);
    EXPECT_STREQ(stamp, "Sun, 06 Dec 26 01:50:00");
    char small[10];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(FormatTimestamp(small, sizeof small), 0);
    EXPECT_STREQ(small, "Sun, 06 D");
}

TEST_F(ActivityLog, AppendsAtTheEndEvenWhenTheOperatorSelectedText)
{
    LogLine("first\r\n");
    view.Select(0, 10);
    LogLine("second\r\n");
    EXPECT_EQ(view.text, kStamp + "first\r\n" + kStamp + "second\r\n");
    EXPECT_EQ(view.selectionStart, view.text.size());
    EXPECT_EQ(view.selectionEnd, view.text.size());
}

TEST_F(ActivityLog, LeavesTheViewReadOnlyAfterEveryEntry)
{
    LogLine("first\r\n");
    EXPECT_TRUE(view.readOnly);
    // What Clear All does: writable, emptied, read-only again; and once
    // more left writable, as if something had cleared the state.
    view.SetReadOnly(false);
    view.text.clear();
    view.SetCaret(0);
    LogLine("after clear\r\n");
    EXPECT_TRUE(view.readOnly);
    EXPECT_EQ(view.text, kStamp + "after clear\r\n");
}

TEST_F(ActivityLog, LineBreaksComeOnlyFromTheMessage)
{
    LogLine("no line end");
    LogLine("spaced\r\n\r\n");
    LogLine("last\r\n");
    EXPECT_EQ(view.text, kStamp + "no line end" + kStamp + "spaced\r\n\r\n" + kStamp + "last\r\n");
}

TEST_F(ActivityLog, CutsALongMessageAndKeepsItsLineBreak)
{
    std::string name(300, 'n');
    LogLine("%s requested\r\n", name.c_str());
    std::string message = view.text.substr(kStamp.size());
    EXPECT_EQ(message.size(), 255u);
    EXPECT_EQ(message, std::string(253, 'n') + "\r\n");

    // Exactly 255 characters arrive whole.
    view.text.clear();
    std::string fits(253, 'f');
    LogLine("%s\r\n", fits.c_str());
    EXPECT_EQ(view.text, kStamp + fits + "\r\n");
}

TEST_F(ActivityLog, WritesNothingAndDoesNotFailWithoutAView)
{
    LogViewWindow = nullptr;
    LogLine("lost\r\n");
    sockets::WSASetLastError(10048);
    ReportSocketError(nullptr);
    LogViewWindow = &view;
    LogLine("kept\r\n");
    EXPECT_EQ(view.text, kStamp + "kept\r\n");
}

TEST_F(ActivityLog, SocketErrorShowsTheCallersTextInsteadOfTheErrors)
{
    sockets::WSASetLastError(10048);
    ReportSocketError("Couldn't bind socket.");
    sockets::WSASetLastError(10035);
    ReportSocketError("Send to %s failed.", "10.0.0.7");
    EXPECT_EQ(view.text, kStamp + "Windows Sockets error 10048: Couldn't bind socket.\r\n\r\n" +
                             kStamp +
                             "Windows Sockets error 10035: Send to 10.0.0.7 failed.\r\n\r\n");
}

TEST_F(ActivityLog, SocketErrorWithoutTextRepeatsTheGenericPhrase)
{
    sockets::WSASetLastError(10061);
    reportSocketError(nullptr);
    sockets::WSASetLastError(10048);
    reportSocketError("");
    EXPECT_EQ(view.text,
              kStamp + "Windows Sockets error 10061: Windows Sockets error 10061\r\n\r\n" + kStamp +
                  "Windows Sockets error 10048: Windows Sockets error 10048\r\n\r\n");
}

TEST_F(ActivityLog, SocketErrorShowsPerCentSignsUnchanged)
{
    sockets::WSASetLastError(10040);
    ReportSocketError("%s", "100% of %d %s");
    EXPECT_EQ(view.text, kStamp + "Windows Sockets error 10040: 100% of %d %s\r\n\r\n");
}

TEST_F(ActivityLog, SocketErrorCutsALongTextAndKeepsTheEmptyLine)
{
    sockets::WSASetLastError(10048);
    std::string longText(200, 't');
    ReportSocketError("%s", longText.c_str());
    EXPECT_EQ(view.text,
              kStamp + "Windows Sockets error 10048: " + std::string(79, 't') + "\r\n\r\n");
}

TEST(SocketErrorText, IsTheGenericPhraseForEveryNumber)
{
    EXPECT_STREQ(SocketErrorText(200), "Windows Sockets error 200");
    EXPECT_STREQ(SocketErrorText(10048), "Windows Sockets error 10048");
    EXPECT_STREQ(SocketErrorText(11004), "Windows Sockets error 11004");
}

} // namespace
