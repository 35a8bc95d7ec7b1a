#include "platform/open_file_limit.h"

#include <climits>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

TEST(OpenFileLimit, RaisesTheSoftLimitToTheHardOne)
{
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
    if (original.rlim_max < 128)
        GTEST_SKIP() << "hard limit too low to lower the soft one below it";
    rlimit lowered = original;
    lowered.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);

    long result = RaiseOpenFileLimit();
    rlimit now{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &now), 0);
    EXPECT_EQ(now.rlim_cur, original.rlim_max);
    if (original.rlim_max != RLIM_INFINITY) {
        EXPECT_EQ(result, static_cast<long>(original.rlim_max));
    }
    ::setrlimit(RLIMIT_NOFILE, &original);
}

} // namespace
