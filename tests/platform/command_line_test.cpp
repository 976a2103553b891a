#include <gtest/gtest.h>

#include "platform/shell.h"

namespace kumoya::platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(Args({"C:\\a", "b.txt"}), SplitCommandLine("C:\\a b.txt"));
    EXPECT_EQ(Args({"a b c", "d", "e"}), SplitCommandLine("\"a b c\" d e"));
    EXPECT_EQ(Args({"a", "b"}), SplitCommandLine("  \ta \t b\t "));
    EXPECT_EQ(Args({"de fg", "h"}), SplitCommandLine("d\"e f\"g h"));
    EXPECT_EQ(Args({"-view", "C:\\a b.txt", "-fast"}), SplitCommandLine("-view \"C:\\a b.txt\" -fast"));
    EXPECT_EQ(Args(), SplitCommandLine(""));
    EXPECT_EQ(Args(), SplitCommandLine(" \t "));
    // An empty quoted part is an argument of its own.
    EXPECT_EQ(Args({"a", "", "b"}), SplitCommandLine("a \"\" b"));
    // An unclosed quote runs to the end.
    EXPECT_EQ(Args({"a b "}), SplitCommandLine("\"a b "));
}

TEST(SplitCommandLine, BackslashesEscapeOnlyQuotes) {
    EXPECT_EQ(Args({"a\\\\\\b"}), SplitCommandLine("a\\\\\\b"));             // a\\\b stays
    EXPECT_EQ(Args({"ab\"c", "\\", "d"}), SplitCommandLine("\"ab\\\"c\" \"\\\\\" d"));
    EXPECT_EQ(Args({"a\\\"b", "c"}), SplitCommandLine("a\\\\\\\"b c"));     // a\\\"b: 3 -> \ and a quote
    EXPECT_EQ(Args({"a\\\\b c", "d"}), SplitCommandLine("a\\\\\\\\\"b c\" d"));  // a\\\\"b c": 4 -> 2, quote opens
    EXPECT_EQ(Args({"C:\\dir\\"}), SplitCommandLine("\"C:\\dir\\\\\""));   // "C:\dir\\" -> C:\dir\  .
}

TEST(SplitCommandLine, RunsOfQuotes) {
    // Inside quotes, "" gives a quote and closes; """ gives a quote and stays.
    EXPECT_EQ(Args({"ab\"", "c", "d"}), SplitCommandLine("a\"b\"\" c d"));
    EXPECT_EQ(Args({"a\"b c"}), SplitCommandLine("\"a\"\"\"b c\""));
}

TEST(SplitCommandLine, TrailBytesAreNotBackslashes) {
    const std::string so = "\x83\x5C";  // ソ, trail byte '\'
    EXPECT_EQ(Args({"C:\\" + so, "x"}), SplitCommandLine("\"C:\\" + so + "\" x"));
    EXPECT_EQ(Args({so + so, "b"}), SplitCommandLine(so + so + " b"));
}

}  // namespace
}  // namespace kumoya::platform
