// The splitting against the system's own CommandLineToArgvW.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "platform/shell.h"

namespace kumoya::platform {
namespace {

std::wstring Wide(const std::string& sjis) {
    int n = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), out.data(), n);
    return out;
}

TEST(SplitCommandLine, AgreesWithTheSystem) {
    const std::string so = "\x83\x5C";
    const std::vector<std::string> lines = {
        "C:\\a b.txt", "\"a b c\" d e", "  \ta \t b\t ", "d\"e f\"g h", "", " ", "a \"\" b", "\"a b ",
        "a\\\\\\b", "\"ab\\\"c\" \"\\\\\" d", "a\\\\\\\"b c", "a\\\\\\\\\"b c\" d", "\"C:\\dir\\\\\"",
        "a\"b\"\" c d", "\"a\"\"\"b c\"", "\"\"\"\"", "\"\"\"\"\"\"\" x", "a\"\"b", "\\\"", "\\\\\"a b\"",
        "\"C:\\" + so + "\" x", so + so + " b", "-view \"C:\\" + so + " b.txt\" -fast",
    };
    for (const auto& line : lines) {
        // The system treats the first word as the program name with rules of
        // its own, so a plain one is put in front.
        std::wstring wide = L"prog " + Wide(line);
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(wide.c_str(), &count);
        ASSERT_NE(nullptr, argv) << line;
        std::vector<std::string> want;
        for (int i = 1; i < count; ++i) {
            std::wstring arg(argv[i]);
            int n = WideCharToMultiByte(932, 0, arg.data(), static_cast<int>(arg.size()), nullptr, 0, nullptr, nullptr);
            std::string s(static_cast<std::size_t>(n), '\0');
            WideCharToMultiByte(932, 0, arg.data(), static_cast<int>(arg.size()), s.data(), n, nullptr, nullptr);
            want.push_back(s);
        }
        LocalFree(argv);
        EXPECT_EQ(want, SplitCommandLine(line)) << "[" << line << "]";
    }
}

}  // namespace
}  // namespace kumoya::platform
