#pragma once

#include <gtest/gtest.h>

// CTest is told that this exit code means "skipped" (see tests/CMakeLists.txt).
inline constexpr int kSkippedExitCode = 77;

// Runs every test. A run without failures in which some test skipped (say, for want of the
// real databases beside the repository) exits with kSkippedExitCode, so that CTest reports it
// as skipped instead of passed; failures keep their own exit code.
inline int RunTestsReportingSkips()
{
    const int result = RUN_ALL_TESTS();
    if (result == 0 && testing::UnitTest::GetInstance()->skipped_test_count() > 0)
        return kSkippedExitCode;
    return result;
}
