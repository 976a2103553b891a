#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codec.h"
#include "platform/files.h"
#include "platform/posix/host_path.h"
#include "platform/shell.h"
#include "support/scratch_folder.h"

namespace kumoya::platform {
namespace {

using testsupport::ScratchFolder;

// A script that writes its folder and arguments, one per line, to `out`.
void WriteRecorder(const std::string& windowsPath, const std::string& outHost) {
    std::string script = "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" + outHost +
                         ".part' && mv '" + outHost + ".part' '" + outHost + "'\n";
    ASSERT_TRUE(WriteFileBytes(windowsPath, Bytes(script.begin(), script.end())));
    ASSERT_EQ(0, chmod(posix::ToHostPath(windowsPath)->c_str(), 0755));
}

// The recorder's output once it has written it (waits up to ten seconds).
std::string WaitForOutput(const std::string& windowsPath) {
    for (int i = 0; i < 1000; ++i) {
        if (auto bytes = ReadFileBytes(windowsPath)) return std::string(bytes->begin(), bytes->end());
        usleep(10000);
    }
    return "<nothing written>";
}

TEST(PosixShell, StartsAProgramWithWindowsStyleArgumentsInItsFolder) {
    ScratchFolder dir;
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";  // ソフト
    ASSERT_TRUE(CreateDirectories(dir / soft));
    std::string outHost = *posix::ToHostPath(dir / "out.txt");
    WriteRecorder(dir / "Run.sh", outHost);

    // Found without regard to case, as on Windows.
    ASSERT_TRUE(SystemShell().Open(dir / "RUN.SH", "-view \"C:\\a b.txt\" " + soft + " \"\"", dir / soft, true, 0));
    std::string want = *posix::ToHostPath(dir / soft) + "\n-view\nC:\\a b.txt\n" + *SjisToUtf8(soft) + "\n\n";
    EXPECT_EQ(want, WaitForOutput(dir / "out.txt"));
}

TEST(PosixShell, HandsDocumentsAndAddressesToTheDesktopOpener) {
    ScratchFolder dir;
    std::string outHost = *posix::ToHostPath(dir / "out.txt");
    WriteRecorder(dir / "xdg-open", outHost);
    ASSERT_TRUE(WriteFileBytes(dir / "Doc.txt", Bytes{'x'}));
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    std::string binHost = *posix::ToHostPath(dir.path());
    setenv("PATH", (binHost + ":" + oldPath).c_str(), 1);

    bool opened = SystemShell().Open(dir / "doc.TXT", "ignored", "", true, 0);
    std::string doc = WaitForOutput(dir / "out.txt");
    DeleteFileAt(dir / "out.txt");
    bool openedAddress = SystemShell().Open("http://127.0.0.1/x?a=1", "", "", true, 0);
    std::string address = WaitForOutput(dir / "out.txt");
    // A missing file is refused at once, as the shell refuses it.
    bool openedMissing = SystemShell().Open(dir / "missing.txt", "", "", true, 0);
    setenv("PATH", oldPath.c_str(), 1);

    EXPECT_TRUE(opened);
    EXPECT_NE(std::string::npos, doc.find("\n" + *posix::ToHostPath(dir / "Doc.txt") + "\n")) << doc;
    EXPECT_EQ(std::string::npos, doc.find("ignored"));
    EXPECT_TRUE(openedAddress);
    EXPECT_NE(std::string::npos, address.find("\nhttp://127.0.0.1/x?a=1\n")) << address;
    EXPECT_FALSE(openedMissing);
}

TEST(PosixShell, RefusesPathsWithoutAHostForm) {
    EXPECT_FALSE(SystemShell().Open("C:\\Windows\\notepad.exe", "", "", true, 0));
    EXPECT_FALSE(SystemShell().Open("Z:\\tmp", "", "C:\\nowhere", true, 0));
}

TEST(PosixShell, IconsNameTheirFileAndOnlyIconHoldersHaveAFirstIcon) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteFileBytes(dir / "Tool.exe", Bytes{'M', 'Z'}));
    ASSERT_TRUE(WriteFileBytes(dir / "note.txt", Bytes{'x'}));
    Icon small = SystemShell().SmallIcon(dir / "note.txt");
    EXPECT_FALSE(small.Empty());
    EXPECT_EQ(dir / "note.txt", small.Source());
    EXPECT_TRUE(SystemShell().SmallIcon(dir / "gone.txt").Empty());

    Icon first = SystemShell().FirstIcon(dir / "Tool.exe");
    EXPECT_FALSE(first.Empty());
    EXPECT_EQ(dir / "Tool.exe,0", first.Source());
    EXPECT_TRUE(SystemShell().FirstIcon(dir / "note.txt").Empty());
    EXPECT_TRUE(SystemShell().FirstIcon(dir / "gone.exe").Empty());
}

}  // namespace
}  // namespace kumoya::platform
