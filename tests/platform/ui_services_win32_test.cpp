// The services on Windows: work handed over from many threads through the
// thread's message queue, timers, the common dialogs driven by a helper
// thread as a user would, and window messages to another window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/interprocess.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/threads.h"
#include "platform/ui/timer.h"
#include "platform/ui/window_service.h"
#include "platform/win32/ui_win32.h"
#include "support/scratch_folder.h"

namespace kumoya::ui {
namespace {

class ServicesWin32 : public ::testing::Test {
protected:
    void SetUp() override { App().reset(); }
    void TearDown() override {
        App().processMessages();
        App().reset();
    }
};

std::wstring W(const std::string& sjis) {
    int n = MultiByteToWideChar(932, 0, sjis.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, sjis.c_str(), -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

class Counter : public Form {
public:
    std::vector<int> seen;
    int sent = 0;
};

constexpr int kThreads = 6;
constexpr int kEach = 4000;

TEST_F(ServicesWin32, ManyThreadsHandOverMoreWorkThanTheMessageQueueHolds) {
    auto form = std::make_unique<Counter>();
    form->show();
    UiTarget target = UiTarget::Of(*form);
    const DWORD uiThread = GetCurrentThreadId();
    // 24,000 hand-overs: more than a thread's message queue takes (10,000).
    std::atomic<int> refused{0}, wrongThread{0}, sendsDone{0};
    std::vector<std::thread> workers;
    Counter* f = form.get();
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                bool ok = target.post([f, t, i, &wrongThread, uiThread] {
                    if (GetCurrentThreadId() != uiThread) ++wrongThread;
                    f->seen.push_back(t * kEach + i);
                });
                if (!ok) ++refused;
                if (i % 500 == 0 && target.send([f] { ++f->sent; })) ++sendsDone;
            }
        });
    }
    const int total = kThreads * kEach;
    bool done = PumpUntil(
        [&] { return static_cast<int>(f->seen.size()) == total && sendsDone == kThreads * (kEach / 500); }, 60000);
    for (auto& w : workers) w.join();
    ASSERT_TRUE(done) << f->seen.size() << " of " << total;
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(wrongThread.load(), 0);
    EXPECT_EQ(f->sent, kThreads * (kEach / 500));
    std::vector<int> last(kThreads, -1);
    for (int v : f->seen) {
        int t = v / kEach, i = v % kEach;
        ASSERT_GT(i, last[static_cast<std::size_t>(t)]) << "out of order";
        last[static_cast<std::size_t>(t)] = i;
    }
    // A destroyed form: queued work is dropped, a waiting sender released.
    std::atomic<int> answer{-1};
    int late = 0;
    target.post([&late] { ++late; });
    std::thread sender([&] { answer = target.send([&late] { ++late; }) ? 1 : 0; });
    Sleep(50);
    form.reset();
    sender.join();
    EXPECT_EQ(answer.load(), 0);
    App().processMessages();
    EXPECT_EQ(late, 0);
}

TEST_F(ServicesWin32, TimersTickInTheMessageLoopUntilStopped) {
    Form form;
    Timer timer(form);
    int ticks = 0;
    timer.setInterval(10);
    timer.OnTimer = [&] {
        if (++ticks == 3) timer.setEnabled(false);
    };
    timer.setEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000));
    EXPECT_FALSE(PumpUntil([&] { return ticks > 3; }, 200)) << "a stopped timer ticked";
    EXPECT_EQ(ticks, 3);
}

// Finds a visible dialog box of this process with the caption given.
HWND FindDialog(const wchar_t* caption) {
    for (int i = 0; i < 1000; ++i) {
        HWND w = FindWindowW(L"#32770", caption);
        if (w && IsWindowVisible(w)) return w;
        Sleep(10);
    }
    return nullptr;
}

TEST_F(ServicesWin32, OpenFileDialogReturnsThePathTheUserChose) {
    testsupport::ScratchFolder scratch;
    std::string file = scratch / "tool.exe";
    HANDLE h = CreateFileW(W(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    Form owner;
    owner.show();
    OpenDialog open(owner);
    open.setTitle("Pick");
    // The user: types the name into the dialog and presses Open.
    std::atomic<bool> found{false};
    std::thread user([&] {
        HWND dialog = FindDialog(L"Pick");
        if (!dialog) return;
        found = true;
        SetDlgItemTextW(dialog, 0x47c, W(file).c_str());  // the file name box
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    bool chosen = open.execute();
    user.join();
    ASSERT_TRUE(found) << "no open-file dialog appeared";
    ASSERT_TRUE(chosen);
    EXPECT_EQ(open.fileName(), file);

    std::thread cancel([&] {
        if (HWND dialog = FindDialog(L"Pick")) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(open.execute());
    cancel.join();
}

TEST_F(ServicesWin32, FolderBrowseStartsAtTheFolderAndShowsTheSelectionInTheStatusLine) {
    testsupport::ScratchFolder scratch;
    std::string start = scratch.path();
    if (start.size() > 3 && start.back() == '\\') start.pop_back();
    Form owner;
    owner.show();
    FolderBrowser browse(owner);
    browse.setTitle("フォルダを選んでください");
    browse.setInitialFolder(start);
    std::vector<std::string> selections;
    browse.OnSelectionChanged = [&](const std::string& folder, std::string& status) {
        selections.push_back(folder);
        status = "status " + folder;
    };
    std::atomic<bool> found{false};
    std::wstring statusShown;
    std::thread user([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog; ++i, Sleep(10)) {
            HWND w = FindWindowW(L"#32770", nullptr);
            DWORD pid = 0;
            if (w) GetWindowThreadProcessId(w, &pid);
            if (w && pid == GetCurrentProcessId() && IsWindowVisible(w)) dialog = w;
        }
        if (!dialog) return;
        found = true;
        // The dialog selects the starting folder as it opens; the status
        // line shows the handler's text for it once it has (a busy machine
        // can take a while). Whatever it shows after 10 s is checked below.
        const std::wstring wanted = W("status " + start);
        wchar_t text[512] = {};
        for (int i = 0; i < 1000; ++i, Sleep(10)) {
            GetDlgItemTextW(dialog, 0x3743, text, 512);  // the status line
            if (text == wanted) break;
        }
        statusShown = text;
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    bool chosen = browse.execute();
    user.join();
    ASSERT_TRUE(found) << "no folder browse dialog appeared";
    ASSERT_FALSE(selections.empty());
    EXPECT_EQ(selections.back(), start);
    EXPECT_EQ(statusShown, W("status " + start));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(browse.folder(), start);
}

TEST_F(ServicesWin32, AMessagePostedToAnotherWindowArrivesWhileWeWaitPumping) {
    // Another thread's window stands in for the other program.
    std::atomic<HWND> window{nullptr};
    std::atomic<int> command{1};
    std::atomic<bool> quit{false};
    std::thread other([&] {
        HWND w = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        window = w;
        MSG m;
        while (!quit && GetMessageW(&m, nullptr, 0, 0) > 0) {
            if (m.message == 0x591) command = 0;  // the other program did its work
            DispatchMessageW(&m);
        }
        DestroyWindow(w);
    });
    while (!window) Sleep(1);
    Form form;
    form.show();
    Timer ours(form);  // our own messages keep flowing meanwhile
    int ticks = 0;
    ours.setInterval(5);
    ours.OnTimer = [&] { ++ticks; };
    ours.setEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }, 5000));
    platform::InterProcess& ipc = platform::SystemInterProcess();
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window.load()));
    EXPECT_TRUE(ipc.PostWindowMessage(handle, 0x591, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return command <= 0; }, 5000));
    quit = true;
    ipc.PostWindowMessage(handle, WM_NULL, 0, 0);
    other.join();
    EXPECT_FALSE(ipc.PostWindowMessage(0, 0x591, 0, 0));
    EXPECT_NE(NativeHandle(form), 0u);
}

TEST_F(ServicesWin32, AModalRunEndsOnAClickSentByAnotherThread) {
    // An automation tool clicks with a sent message, not with input: nothing
    // is posted after it, and the modal run must still see its result.
    Form form;
    Button ok{form};
    ok.setModalResult(DialogResult::Ok);
    std::atomic<HWND> button{nullptr};
    form.OnShow = [&] { button = reinterpret_cast<HWND>(NativeHandle(ok)); };
    std::atomic<bool> ended{false};
    std::thread user([&] {
        for (int i = 0; i < 500 && !button; ++i) Sleep(10);
        DWORD_PTR unused;
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &unused);
        // Should the run not end, it is closed after a while, as Cancel.
        for (int i = 0; i < 500 && !ended; ++i) Sleep(10);
        if (!ended) PostMessageW(reinterpret_cast<HWND>(NativeHandle(form)), WM_CLOSE, 0, 0);
    });
    const DialogResult result = form.showModal();
    ended = true;
    user.join();
    EXPECT_EQ(result, DialogResult::Ok);
}

TEST_F(ServicesWin32, TheDisplaysColourDepthIsTheScreens) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const int expected = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    EXPECT_GE(expected, 1);
    EXPECT_EQ(ScreenColorBits(), expected);
}

}  // namespace
}  // namespace kumoya::ui
