#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The test script runs the Windows tests a second time in a prefix made
// under a Japanese locale; this says whether that prefix really is what a
// Japanese user's Windows is (ANSI code page 932), so that the second run
// is not the first one again.
TEST(WineLocale, ThePrefixHasTheAnsiCodePageTheScriptAskedFor) {
    const char* expected = std::getenv("KUMOYA_EXPECT_ACP");
    if (!expected) GTEST_SKIP() << "KUMOYA_EXPECT_ACP not set";
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::stoul(expected)));
}
