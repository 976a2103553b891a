// The scans and the sticky-note registration on Windows' own services: file
// types written to the real registry, the shell's associated program, real
// shortcut files from the shell link object, and a stand-in program
// (mirun_standin.exe, built beside this test) that owns the shared block.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/interprocess.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "registration/mirun.h"
#include "registration/scans.h"
#include "registration/scmake.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

using platform::RegistryRoot;
using testsupport::ScratchFolder;

std::string ShortName(const std::string& path) {
    auto wide = platform::win32::ToWide(path);
    wchar_t buffer[MAX_PATH];
    DWORD n = GetShortPathNameW(wide->c_str(), buffer, MAX_PATH);
    return n && n < MAX_PATH ? platform::win32::FromWide(std::wstring_view(buffer, n)).value_or("") : "";
}

// File types under the classes root, removed again at the end.
class FileTypes {
public:
    ~FileTypes() {
        for (const auto& key : keys_) platform::SystemRegistry().DeleteKey(RegistryRoot::ClassesRoot, key);
    }
    void Add(const std::string& extension, const std::string& type, const std::string& name,
             const std::string& command) {
        auto& reg = platform::SystemRegistry();
        ASSERT_TRUE(reg.WriteString(RegistryRoot::ClassesRoot, extension, "", type));
        ASSERT_TRUE(reg.WriteString(RegistryRoot::ClassesRoot, type, "", name));
        ASSERT_TRUE(reg.WriteString(RegistryRoot::ClassesRoot, type + "\\shell\\open\\command", "", command));
        keys_.push_back(extension);
        keys_.push_back(type);
    }

private:
    std::vector<std::string> keys_;
};

const ScanRow* RowOf(const std::vector<ScanRow>& rows, const std::string& caption) {
    for (const ScanRow& r : rows)
        if (r.Caption == caption) return &r;
    return nullptr;
}

TEST(ScansOnWindows, RegistryScanReadsTheSystemsFileTypes) {
    ScratchFolder dir("kumoyascan");  // no "-" in the path: commands split there
    ASSERT_TRUE(platform::CreateDirectories(dir / "Long Folder Name"));
    const std::string editor = dir / "Long Folder Name\\Long Editor Name.exe";
    const std::string viewer = dir / "Viewer.exe";
    ASSERT_TRUE(platform::WriteFileBytes(editor, {}));
    ASSERT_TRUE(platform::WriteFileBytes(viewer, {}));
    const std::string shortEditor = ShortName(editor);
    ASSERT_FALSE(shortEditor.empty());
    ASSERT_EQ(std::string::npos, shortEditor.find(' ')) << shortEditor;

    FileTypes types;
    types.Add(".kumoyatesta", "KumoyaTest.A", "Kumoya テスト", shortEditor + " \"%1\"");
    types.Add(".kumoyatestb", "KumoyaTest.B", "", shortEditor + " %1");  // no display name
    types.Add(".kumoyatestc", "KumoyaTest.C", "C", "\"" + viewer + "\" \"%1\"");

    std::vector<ScanRow> rows = ScanRegistry();
    const ScanRow* a = RowOf(rows, ".kumoyatesta");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ((std::vector<std::string>{"Kumoya テスト", sjis::UpperAscii(editor), "\"%1\""}), a->SubItems);
    EXPECT_NE(nullptr, a->Icon.NativeHandle());
    EXPECT_EQ(nullptr, RowOf(rows, ".kumoyatestb"));
    EXPECT_NE(nullptr, RowOf(rows, ".kumoyatestc"));
    // Nothing of the system's own programs behind rundll32, and no stray
    // probe files left behind.
    for (const ScanRow& r : rows) EXPECT_EQ(std::string::npos, r.SubItems[1].find("RUNDLL")) << r.Caption;
    for (const auto& e : platform::ListDirectory(platform::ProgramFolder() + "Def.*")) ADD_FAILURE() << e.name;

    // A library as the command's program: the shell names the program
    // associated with the extension instead.
    std::string program, params;
    ASSERT_EQ(0, ParseOpenCommand(".kumoyatestc", "\"" + dir / "lib.dll\" \"%1\"", program, params, dir.path()));
    EXPECT_TRUE(sjis::EqualsIgnoreCase(viewer, program)) << program;
    EXPECT_FALSE(platform::FileExists(dir / "Def.kumoyatestc"));
}

TEST(ScansOnWindows, DesktopScanReadsRealShortcuts) {
    ScratchFolder desktop("kumoyadesk"), dir("kumoyascan");
    platform::FixedFolders folders;
    folders.desktop = desktop.path().substr(0, desktop.path().size() - 1);
    platform::ScopedService<platform::SystemFolders> use(folders);
    const std::string editor = dir / "Editor.exe";
    ASSERT_TRUE(platform::WriteFileBytes(editor, {}));

    TSCMake sc;
    sc.SCDir = folders.desktop;
    for (const char* name : {"エディタ", "Editor again"}) {
        sc.SCName = name;
        sc.LinkPath = editor;
        ASSERT_GE(sc.CreateLink(), 0);
    }
    sc.SCName = "Gone";
    sc.LinkPath = dir / "gone.exe";
    sc.CreateLink();
    ASSERT_TRUE(platform::WriteFileBytes(desktop / "Broken.lnk", {'L', 0, 0, 0}));

    std::vector<ScanRow> rows = ScanDesktop(sc);
    ASSERT_EQ(1u, rows.size());
    EXPECT_TRUE(rows[0].Caption == "エディタ" || rows[0].Caption == "Editor again") << rows[0].Caption;
    EXPECT_EQ(sjis::UpperAscii(editor), rows[0].SubItems.at(0));
}

TEST(ScansOnWindows, SystemFoldersAndSharedBlocks) {
    EXPECT_TRUE(platform::DirectoryExists(platform::Folders().WindowsFolder()));
    EXPECT_TRUE(platform::DirectoryExists(platform::Folders().DesktopFolder()));
    // A block that exists smaller than asked for is refused, or (as under
    // Wine, whose blocks are whole pages) mapped with every byte readable.
    auto& ipc = platform::SystemInterProcess();
    auto small = ipc.OpenSharedMemory("KumoyaTestSmallBlock", 100);
    ASSERT_NE(nullptr, small);
    small->Data()[99] = 7;
    if (auto larger = ipc.OpenSharedMemory("KumoyaTestSmallBlock", 520)) {
        ASSERT_EQ(520u, larger->Size());
        EXPECT_EQ(7, larger->Data()[99]);
        EXPECT_EQ(0, larger->Data()[519]);
    }
    EXPECT_FALSE(ipc.PostWindowMessage(0, kMirunMessage, 0, 0));
}

// The stand-in program: started with a version and a log, waited for until
// its block is ready (or it has left), ended when the test is done.
class StandIn {
public:
    StandIn(const std::string& version, const std::string& log, const std::wstring& options = L"") {
        std::wstring exe = *platform::win32::ToWide(platform::ProgramFolder() + "mirun_standin.exe");
        std::wstring line = L"\"" + exe + L"\" " + *platform::win32::ToWide(version) + L" \"" +
                            *platform::win32::ToWide(log) + L"\" " + options;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
    }
    ~StandIn() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    bool started() const { return started_; }
    bool WaitReady() {
        for (int i = 0; i < 500; ++i, Sleep(20))
            if (MirunReady()) return true;
        return false;
    }
    bool WaitExit() { return WaitForSingleObject(pi_.hProcess, 15000) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION pi_ = {};
    bool started_ = false;
};

std::vector<std::vector<std::string>> ReadLog(const std::string& log) {
    std::vector<std::vector<std::string>> lines;
    auto bytes = platform::ReadFileBytes(log);
    if (!bytes) return lines;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string f;
        while (std::getline(parts, f, '\t')) fields.push_back(f);
        lines.push_back(fields);
    }
    return lines;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(MirunOnWindows, RegistersWithTheStandInProgram) {
    ScratchFolder dir;
    const std::string log = dir / "mirun.log";
    StandIn program("Ver1.40", log);
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.WaitReady());
    const std::string path = "C:\\Apps\\Kumoya\\Zelkova.exe";
    EXPECT_EQ(MirunResult::Registered, RegisterWithMirun(0x00012345, path));
    ASSERT_TRUE(program.WaitExit());

    auto lines = ReadLog(log);
    ASSERT_EQ(4u, lines.size());
    for (const auto& l : lines) {
        ASSERT_EQ(4u, l.size());
        EXPECT_EQ("00012345", l[1]);
    }
    EXPECT_EQ("1", lines[0][0]);
    EXPECT_EQ(Hex(path), lines[0][2]);
    EXPECT_EQ(Hex(std::string("Kumoya", 7)), lines[0][3].substr(0, 14));
    EXPECT_EQ("2", lines[1][0]);
    EXPECT_EQ("23000000" "64000000" "af000000" "28000000", lines[1][3].substr(0, 32));
    EXPECT_EQ("13", lines[2][0]);
    EXPECT_EQ(Hex(std::string("ZELKDOC", 8)), lines[2][3].substr(0, 16));
    EXPECT_EQ("0", lines[3][0]);
}

TEST(MirunOnWindows, ASilentProgramCostsOnlyTheWaitLimit) {
    ScratchFolder dir;
    const std::string log = dir / "mirun.log";
    StandIn program("Ver2.00", log, L"--silent");
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.WaitReady());
    DWORD start = GetTickCount();
    EXPECT_EQ(MirunResult::NoAnswer, RegisterWithMirun(0x00012345, "C:\\Zelkova.exe", 1500));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1400u);
    EXPECT_LT(took, 5000u);
    ASSERT_TRUE(program.WaitExit());
    auto lines = ReadLog(log);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("1", lines[0][0]);
    EXPECT_EQ("0", lines[1][0]);
}

// The closing command (the command word is 0) lets the stand-in go.
void Dismiss(platform::SharedMemory& block) {
    std::uint32_t window;
    std::memcpy(&window, block.Data(), 4);
    platform::SystemInterProcess().PostWindowMessage(window, kMirunMessage, 0, 0);
}

TEST(MirunOnWindows, StrangeVersionsAndAProgramThatHasLeft) {
    ScratchFolder dir;
    {
        StandIn program("Ver1.5", dir / "a.log", L"--no-terminator");
        ASSERT_TRUE(program.WaitReady());
        auto block = platform::SystemInterProcess().OpenSharedMemory(kMirunBlockName, kMirunBlockSize);
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(MirunVersionCheck::Unreadable, CheckMirunVersion(block->Data(), block->Size()));
        Dismiss(*block);
    }
    {
        StandIn program("Ver1.3beta", dir / "b.log");
        ASSERT_TRUE(program.WaitReady());
        auto block = platform::SystemInterProcess().OpenSharedMemory(kMirunBlockName, kMirunBlockSize);
        EXPECT_EQ(MirunVersionCheck::Unreadable, CheckMirunVersion(block->Data(), block->Size()));
        ASSERT_NE(nullptr, block);
        Dismiss(*block);
    }
    // The block outlives the program while we hold it; its window is gone,
    // so nothing is waited for.
    auto holder = platform::SystemInterProcess().OpenSharedMemory(kMirunBlockName, kMirunBlockSize);
    ASSERT_NE(nullptr, holder);
    {
        StandIn program("Ver1.50", dir / "c.log", L"--exit-after-publish");
        ASSERT_TRUE(program.WaitExit());
    }
    ASSERT_TRUE(MirunReady());
    DWORD start = GetTickCount();
    EXPECT_EQ(MirunResult::NoAnswer, RegisterWithMirun(0x00012345, "C:\\Zelkova.exe"));
    EXPECT_LT(GetTickCount() - start, 1000u);
}

}  // namespace
}  // namespace kumoya
