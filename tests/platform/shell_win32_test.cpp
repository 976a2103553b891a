#include <gtest/gtest.h>
#include <windows.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "support/scratch_folder.h"

namespace kumoya::platform {
namespace {

std::string SystemFolder() {
    char buffer[MAX_PATH];
    UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, n);
}

TEST(Win32Shell, FirstIconOnlyFromFilesThatHoldIcons) {
    testsupport::ScratchFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "note.txt", Bytes{'x'}));
    // ExtractIcon answers 1 for a file that is no icon holder: no icon.
    EXPECT_TRUE(SystemShell().FirstIcon(dir / "note.txt").Empty());
    EXPECT_TRUE(SystemShell().FirstIcon(dir / "gone.exe").Empty());
    Icon icon = SystemShell().FirstIcon(SystemFolder() + "\\shell32.dll");
    ASSERT_FALSE(icon.Empty());
    EXPECT_NE(nullptr, icon.NativeHandle());
    EXPECT_EQ(SystemFolder() + "\\shell32.dll,0", icon.Source());
    // Moving hands the handle over; the moved-from icon is empty.
    Icon moved = std::move(icon);
    EXPECT_TRUE(icon.Empty());
    EXPECT_FALSE(moved.Empty());
}

TEST(Win32Shell, SmallIconOfAFile) {
    testsupport::ScratchFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "note.txt", Bytes{'x'}));
    Icon icon = SystemShell().SmallIcon(dir / "note.txt");
    ASSERT_FALSE(icon.Empty());
    EXPECT_NE(nullptr, icon.NativeHandle());
}

TEST(Win32Shell, OpenStartsAProgramWithItsParametersInTheFolder) {
    testsupport::ScratchFolder dir;
    std::string cmd = SystemFolder() + "\\cmd.exe";
    ASSERT_TRUE(SystemShell().Open(cmd, "/c echo %CD%> out.txt", dir.path(), false, 0));
    std::optional<Bytes> out;
    // Wait for the whole line: the file exists before cmd has written it.
    for (int i = 0; i < 500; ++i, Sleep(20)) {
        out = ReadFileBytes(dir / "out.txt");
        if (out && !out->empty() && out->back() == '\n') break;
    }
    ASSERT_TRUE(out);
    std::string text(out->begin(), out->end());
    // cmd writes the folder without the trailing backslash.
    EXPECT_NE(std::string::npos, text.find(dir.path().substr(0, dir.path().size() - 1))) << "[" << text << "] " << dir.path();
    for (int i = 0; i < 50 && !DeleteFileAt(dir / "out.txt"); ++i) Sleep(20);  // cmd may still hold it
    EXPECT_FALSE(SystemShell().Open(dir / "missing.exe", "", "", true, 0));
}

}  // namespace
}  // namespace kumoya::platform
