// The shortcut codec against the system's own shell link object, both ways.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/files.h"
#include "platform/lnk_format.h"
#include "platform/shelllink.h"
#include "support/scratch_folder.h"

namespace kumoya::platform {
namespace {

const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";  // ソフト, trail byte 0x5C

// Wine's shell link object does not load the show command (every file reads
// back as 1), and reads the single-byte target path of the link information in
// its ANSI code page. Windows reads both as stored.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

lnk::Link Sample(const std::string& target) {
    lnk::Link l;
    l.target = target;
    l.workingDirectory = "C:\\" + kSoft + "\\work";
    l.arguments = "-open \"C:\\a b.txt\" " + kSoft;
    l.iconLocation = "C:\\icons\\" + kSoft + ".dll";
    l.iconIndex = 5;
    l.showCommand = 7;
    l.hotKey = 0x0370;  // Ctrl+Shift+F1
    return l;
}

TEST(ShellLinkObject, ReadsWhatTheCodecWrites) {
    testsupport::ScratchFolder dir;
    auto links = CreateShellLinks();
    // Targets that exist and that do not; a double-byte name with a 0x5C trail byte.
    ASSERT_TRUE(WriteFileBytes(dir / "tool.exe", Bytes{'M', 'Z'}));
    std::vector<std::string> targets = {dir / "tool.exe", "C:\\gone\\old.exe"};
    if (!UnderWine() || GetACP() == 932) targets.push_back(dir / (kSoft + ".exe"));
    for (const std::string& target : targets) {
        lnk::Link link = Sample(target);
        auto bytes = lnk::Encode(link);
        ASSERT_TRUE(bytes);
        ASSERT_TRUE(WriteFileBytes(dir / "codec.lnk", *bytes));
        auto parts = links->Load(dir / "codec.lnk");
        ASSERT_TRUE(parts) << target;
        EXPECT_EQ(link.target, parts->target);
        EXPECT_EQ(link.workingDirectory, parts->workingDirectory);
        EXPECT_EQ(link.arguments, parts->arguments);
        EXPECT_EQ(link.iconLocation, parts->iconPath);
        EXPECT_EQ(link.iconIndex, parts->iconIndex);
        if (!UnderWine()) {
            EXPECT_EQ(link.showCommand, parts->showCommand);
        }
        EXPECT_EQ(link.hotKey, parts->hotKey);
    }
}

TEST(ShellLinkObject, CodecReadsWhatTheShellLinkObjectWrites) {
    testsupport::ScratchFolder dir;
    auto links = CreateShellLinks();
    ASSERT_TRUE(WriteFileBytes(dir / "tool.exe", Bytes{'M', 'Z'}));
    ASSERT_TRUE(CreateDirectories(dir / kSoft));
    ASSERT_TRUE(WriteFileBytes(dir / (kSoft + "\\" + kSoft + ".exe"), Bytes{'M', 'Z'}));
    for (const std::string& target :
         {dir / "tool.exe", std::string("C:\\gone\\old.exe"), dir / (kSoft + "\\" + kSoft + ".exe")}) {
        lnk::Link want = Sample(target);
        ShellLinkParts parts{want.target, want.workingDirectory, want.arguments, want.iconLocation,
                             want.iconIndex, want.showCommand, want.hotKey};
        ASSERT_GE(links->Save(dir / "system.lnk", parts), 0) << target;
        auto bytes = ReadFileBytes(dir / "system.lnk");
        ASSERT_TRUE(bytes);
        auto got = lnk::Decode(*bytes);
        ASSERT_TRUE(got) << target;
        EXPECT_EQ(want.target, got->target);
        EXPECT_EQ(want.workingDirectory, got->workingDirectory);
        EXPECT_EQ(want.arguments, got->arguments);
        EXPECT_EQ(want.iconLocation, got->iconLocation);
        EXPECT_EQ(want.iconIndex, got->iconIndex);
        EXPECT_EQ(want.showCommand, got->showCommand);
        EXPECT_EQ(want.hotKey, got->hotKey);
    }
}

}  // namespace
}  // namespace kumoya::platform
