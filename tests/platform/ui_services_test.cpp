// The framework's services on the headless backend: work handed over from
// threads, timers, the common dialogs and the input box, window messages to
// other programs.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/headless.h"
#include "platform/ui/threads.h"
#include "platform/ui/timer.h"
#include "platform/ui/window_service.h"

namespace kumoya::ui {
namespace {

class Counter : public Form {
public:
    // Touched only on the UI thread; ASan sees any work run after the form.
    std::vector<int> seen;
    int sent = 0;
};

constexpr int kThreads = 8;
constexpr int kEach = 400;

TEST(UiThreads, PostsAndSendsFromManyThreadsAllRunOnTheUiThreadInOrder) {
    HeadlessUi ui;
    auto form = std::make_unique<Counter>();
    UiTarget target = UiTarget::Of(*form);
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<int> wrongThread{0};
    std::atomic<int> sendsAnswered{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                Counter* f = form.get();
                EXPECT_TRUE(target.post([f, t, i, &wrongThread, uiThread] {
                    if (std::this_thread::get_id() != uiThread) ++wrongThread;
                    f->seen.push_back(t * kEach + i);
                }));
                if (i % 50 == 0) {
                    EXPECT_TRUE(target.send([f] { ++f->sent; }));
                    ++sendsAnswered;
                }
            }
        });
    }
    const int total = kThreads * kEach;
    EXPECT_TRUE(PumpUntil([&] { return static_cast<int>(form->seen.size()) == total && sendsAnswered == kThreads * 8; },
                          20000));
    for (auto& w : workers) w.join();
    App().processMessages();
    EXPECT_EQ(wrongThread.load(), 0);
    EXPECT_EQ(form->sent, kThreads * kEach / 50);
    ASSERT_EQ(static_cast<int>(form->seen.size()), total);
    // Each thread's work arrives in the order it was handed over.
    std::vector<int> last(kThreads, -1);
    for (int v : form->seen) {
        int t = v / kEach, i = v % kEach;
        EXPECT_GT(i, last[static_cast<std::size_t>(t)]);
        last[static_cast<std::size_t>(t)] = i;
    }
}

TEST(UiThreads, WorkForAFormThatHasGoneIsDroppedAndItsSenderIsReleased) {
    HeadlessUi ui;
    int ran = 0;
    auto form = std::make_unique<Counter>();
    UiTarget target = UiTarget::Of(*form);
    // Queued while the form lives, never run once it has gone.
    Counter* f = form.get();
    EXPECT_TRUE(target.post([f, &ran] {
        ++ran;
        f->seen.push_back(1);
    }));
    // A worker waits in send(); the UI thread does not pump, and the form goes.
    std::atomic<int> answer{-1};
    std::thread sender([&] { answer = target.send([f, &ran] { ++ran, ++f->sent; }) ? 1 : 0; });
    for (int i = 0; i < 5000 && ui->pendingMessages() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(ui->pendingMessages(), 2) << "the send never reached the queue";
    form.reset();
    sender.join();  // released by the form going, not by a pump
    EXPECT_EQ(answer.load(), 0);
    App().processMessages();
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(target.alive());
    EXPECT_FALSE(target.post([&ran] { ++ran; }));
    EXPECT_FALSE(target.send([&ran] { ++ran; }));
    App().processMessages();
    EXPECT_EQ(ran, 0);
}

TEST(UiThreads, SendOnTheUiThreadRunsAtOnceAndASendWaitsForAPumpingLoop) {
    HeadlessUi ui;
    Counter form;
    UiTarget target = UiTarget::Of(form);
    EXPECT_TRUE(target.send([&] { ++form.sent; }));
    EXPECT_EQ(form.sent, 1);

    // The worker hands the work over and waits; the UI thread meanwhile
    // waits for the worker in its own pumping loop, as a window waiting for
    // its wait thread does.
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        EXPECT_TRUE(target.send([&] { ++form.sent; }));
        workerDone = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return workerDone.load(); }, 10000));
    worker.join();
    EXPECT_EQ(form.sent, 2);
}

TEST(UiTimers, TicksComeInOrderAndStopWithTheTimer) {
    HeadlessUi ui;
    auto form = std::make_unique<Form>();
    std::vector<std::string> ticks;
    Timer fast(*form), slow(*form);
    auto once = std::make_unique<Timer>(*form);
    fast.setInterval(100);
    slow.setInterval(250);
    once->setInterval(150);
    fast.OnTimer = [&] { ticks.push_back("fast"); };
    slow.OnTimer = [&] {
        ticks.push_back("slow");
        fast.setEnabled(false);  // a handler may stop another timer
    };
    once->OnTimer = [&] {
        ticks.push_back("once");
        once->setEnabled(false);
    };
    fast.setEnabled(true);
    slow.setEnabled(true);
    once->setEnabled(true);
    ui->advanceTime(99);
    EXPECT_TRUE(ticks.empty());
    ui->advanceTime(401);  // t = 500
    EXPECT_EQ(ticks, (std::vector<std::string>{"fast", "once", "fast", "slow", "slow"}));
    once.reset();
    slow.setInterval(50);  // restarts from now
    ticks.clear();
    ui->advanceTime(100);
    EXPECT_EQ(ticks, (std::vector<std::string>{"slow", "slow"}));
    slow.setEnabled(false);
    ui->advanceTime(1000);
    EXPECT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ui->runningTimers(), 0);
}

TEST(UiDialogs, InputQueryConfirmsWithOkOrEnterAndCancelsWithCancelOrEscape) {
    HeadlessUi ui;
    std::string value = "start";
    ui->answerInputBox("typed");
    EXPECT_TRUE(InputQuery("キャプション", "入力してください：", value));
    EXPECT_EQ(value, "typed");
    ASSERT_EQ(ui->inputBoxes().size(), 1u);
    EXPECT_EQ(ui->inputBoxes()[0].caption, "キャプション");
    EXPECT_EQ(ui->inputBoxes()[0].prompt, "入力してください：");
    EXPECT_EQ(ui->inputBoxes()[0].start, "start");

    ui->answerInputBox(std::nullopt);
    EXPECT_FALSE(InputQuery("c", "p", value));
    EXPECT_EQ(value, "typed") << "a cancelled box leaves the value alone";

    // The keys of the box: Enter confirms (even an empty text), Escape cancels.
    ui->onNextModal<InputBoxForm>([](InputBoxForm& box) {
        EXPECT_EQ(box.focusedControl(), &box.edValue);
        Type(box.edValue, "");
        EXPECT_TRUE(PressKey(box.edValue, kKeyReturn));
    });
    EXPECT_TRUE(InputQuery("c", "p", value));
    EXPECT_EQ(value, "");
    value = "kept";
    ui->onNextModal<InputBoxForm>([](InputBoxForm& box) {
        Type(box.edValue, "discarded");
        PressKey(box.edValue, kKeyEscape);
    });
    EXPECT_FALSE(InputQuery("c", "p", value));
    EXPECT_EQ(value, "kept");
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST(UiDialogs, OpenFileAndFolderBrowseReportWhatTheUserChose) {
    HeadlessUi ui;
    Form owner;
    OpenDialog open(owner);
    open.setInitialDir("C:\\Apps");
    ui->answerOpenFile("C:\\Apps\\edit.exe");
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(open.fileName(), "C:\\Apps\\edit.exe");
    ui->answerOpenFile(std::nullopt);
    EXPECT_FALSE(open.execute());
    EXPECT_EQ(open.fileName(), "C:\\Apps\\edit.exe") << "a cancel keeps the last choice";
    ASSERT_EQ(ui->openFileDialogs().size(), 2u);
    EXPECT_EQ(ui->openFileDialogs()[0].initialDir, "C:\\Apps");

    FolderBrowser browse(owner);
    browse.setTitle("フォルダを選んでください");
    browse.setInitialFolder("C:\\Games");
    browse.OnSelectionChanged = [](const std::string& folder, std::string& status) { status = "[" + folder + "]"; };
    ui->onNextFolderBrowse([](FolderBrowseSession& s) {
        EXPECT_EQ(s.selected(), "C:\\Games") << "the starting folder is selected when the dialog opens";
        EXPECT_EQ(s.select("C:\\Tools"), "[C:\\Tools]");
        return true;
    });
    ASSERT_TRUE(browse.execute());
    EXPECT_EQ(browse.folder(), "C:\\Tools");
    ui->onNextFolderBrowse([](FolderBrowseSession& s) {
        s.select("D:\\");
        return false;
    });
    EXPECT_FALSE(browse.execute());
    EXPECT_EQ(browse.folder(), "");
    ASSERT_EQ(ui->folderBrowses().size(), 2u);
    EXPECT_EQ(ui->folderBrowses()[0].title, "フォルダを選んでください");
    EXPECT_EQ(ui->folderBrowses()[0].statusTexts, (std::vector<std::string>{"[C:\\Games]", "[C:\\Tools]"}));
    EXPECT_EQ(ui->folderBrowses()[1].chosen, "");
    EXPECT_EQ(ui->unusedScript(), "");
}

TEST(UiWindowMessages, AWaitEndsWhenAnotherProgramAnswersWhileOurMessagesKeepFlowing) {
    HeadlessUi ui;
    Counter form;
    UiTarget target = UiTarget::Of(form);
    // The other program answers from its own thread some time later, by
    // setting a command word in memory both share.
    std::atomic<int> commandWord{1};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        target.post([&] { ++form.sent; });  // our own messages go on meanwhile
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        commandWord = 0;
    });
    EXPECT_TRUE(PumpUntil([&] { return commandWord <= 0; }, 10000));
    other.join();
    EXPECT_EQ(form.sent, 1);
    // Nobody answers: the wait gives up after its time.
    EXPECT_FALSE(PumpUntil([] { return false; }, 30));
}

TEST(UiWindowMessages, TheDisplaysColourDepthIsWhatTheBackendSays) {
    HeadlessUi ui;
    EXPECT_EQ(ScreenColorBits(), 32);
    ui->setScreenColorBits(8);
    EXPECT_EQ(ScreenColorBits(), 8);
}

}  // namespace
}  // namespace kumoya::ui
