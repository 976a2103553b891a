// The wait after a clip: display time, the pause, stop requests and the
// hand-over to the user-interface thread, first step by step on a fake
// clock, then on real threads.
#include "online/cmthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/datetime.h"
#include "platform/files.h"
#include "support/online_records.h"
#include "support/scratch_folder.h"

using kumoya::AdvertisementState;
using kumoya::CmThreadHooks;
using kumoya::TCMData;
using kumoya::TCmThread;
using kumoya::testsupport::AdvertisementFile;
using kumoya::testsupport::ScratchFolder;
namespace platform = kumoya::platform;

namespace {

// One thread plays both sides: the clock moves only when the thread sleeps,
// and the hand-over runs the work at once, noting that it did.
struct SteppedWait {
    std::uint32_t tick = 0;
    std::vector<std::string> events;
    std::function<void(int sleeps)> onSleep;  // after each sleep
    int sleeps = 0;
    AdvertisementState* state = nullptr;

    CmThreadHooks Hooks() {
        CmThreadHooks h;
        h.TickCount = [this] { return tick; };
        h.Sleep = [this](std::uint32_t ms) {
            tick += ms;
            ++sleeps;
            if (onSleep) onSleep(sleeps);
        };
        h.Synchronize = [this](const std::function<void()>& work) {
            events.push_back("ui{");
            work();
            events.push_back("}");
            return true;
        };
        h.ClosePlayer = [this] { events.push_back("close"); };
        h.StartAdvertisement = [this] {
            events.push_back(std::string("start idle=") + (state->AdIdle.load() ? "1" : "0"));
        };
        return h;
    }
};

void Unpack(ScratchFolder& dir, AdvertisementState& state, double pauseSeconds, double displayMs = 0) {
    AdvertisementFile ad;
    ad.name = "spring";
    ad.pauseSeconds = pauseSeconds;
    ad.displayMs = displayMs;
    ad.clip = kumoya::testsupport::PatternClip(300);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", ad.Bytes()));
    state.AdFile = dir / "zelkova.cm";
    ASSERT_EQ(state.AdData.LoadWithClip(state.AdFile, dir / "CM.AVI"), 0);
}

TCMData Saved(ScratchFolder& dir) {
    TCMData saved;
    EXPECT_EQ(saved.LoadRecord(dir / "zelkova.cm"), 0);
    return saved;
}

}  // namespace

TEST(AdvertisementWait, ClipAndPauseAreCountedAndTheNextClipStartsAfterTheSave) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 10, 1000);
    SteppedWait wait;
    wait.state = &state;
    state.AdStartTick = 1000;
    wait.tick = 13500;  // the clip played 12.5 s
    for (int i = 0; i < 3; ++i) state.AddClick();

    TCmThread(state, wait.Hooks()).Execute();

    // The pause ends at the first check past 10 s: after the eleventh sleep.
    EXPECT_EQ(wait.sleeps, 11);
    TCMData saved = Saved(dir);
    EXPECT_EQ(saved.DisplayMs, 1000 + 12500 + 11000);
    EXPECT_EQ(saved.ClickCount, 3);
    EXPECT_FALSE(platform::FileExists(dir / "CM.AVI"));
    EXPECT_EQ(wait.events, (std::vector<std::string>{"ui{", "close", "start idle=1", "}"}));
    EXPECT_TRUE(state.AdIdle);
}

TEST(AdvertisementWait, NoPauseEndsAfterTheFirstSleep) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 0);
    SteppedWait wait;
    wait.state = &state;
    TCmThread(state, wait.Hooks()).Execute();
    EXPECT_EQ(wait.sleeps, 1);
    EXPECT_EQ(Saved(dir).DisplayMs, 1000);
}

TEST(AdvertisementWait, AStopDuringThePauseSavesOnTheWaitThreadAndStartsNothing) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 30);
    SteppedWait wait;
    wait.state = &state;
    state.AdStartTick = 0;
    wait.tick = 2000;
    wait.onSleep = [&](int sleeps) {
        if (sleeps == 4) state.AdStopRequested = true;
    };
    TCmThread(state, wait.Hooks()).Execute();
    EXPECT_EQ(wait.sleeps, 4);
    EXPECT_EQ(Saved(dir).DisplayMs, 2000 + 4000);
    // Only the player is closed on the user-interface thread.
    EXPECT_EQ(wait.events, (std::vector<std::string>{"ui{", "close", "}"}));
    EXPECT_TRUE(state.AdIdle);
}

TEST(AdvertisementWait, AWindowThatHasGoneIsLeftAlone) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 30);
    SteppedWait wait;
    wait.state = &state;
    state.AdStopRequested = true;
    CmThreadHooks hooks = wait.Hooks();
    // The hand-over is dropped: the window has closed without waiting.
    hooks.Synchronize = [](const std::function<void()>&) { return false; };
    state.AdData.ClickCount = 99;
    TCmThread(state, hooks).Execute();
    EXPECT_EQ(Saved(dir).ClickCount, 0);  // nothing saved
    EXPECT_TRUE(platform::FileExists(dir / "CM.AVI"));
    EXPECT_FALSE(state.AdIdle);
}

TEST(AdvertisementWait, AStopThatComesAfterThePauseStillStartsNoNextClip) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 0);
    SteppedWait wait;
    wait.state = &state;
    CmThreadHooks hooks = wait.Hooks();
    auto synchronize = hooks.Synchronize;
    // The window asks to stop while the hand-over is on its way.
    hooks.Synchronize = [&](const std::function<void()>& work) {
        state.AdStopRequested = true;
        return synchronize(work);
    };
    TCmThread(state, hooks).Execute();
    EXPECT_EQ(wait.events, (std::vector<std::string>{"ui{", "close", "}"}));
    EXPECT_EQ(Saved(dir).DisplayMs, 1000);
    EXPECT_TRUE(state.AdIdle);
}

TEST(AdvertisementWait, TheTickCounterMayWrapDuringClipAndPause) {
    ScratchFolder dir;
    AdvertisementState state;
    Unpack(dir, state, 2);
    SteppedWait wait;
    wait.state = &state;
    state.AdStartTick = 0xFFFFF000u;
    wait.tick = 0xFFFFFF00u;  // the clip: 3840 ms, and the pause wraps
    TCmThread(state, wait.Hooks()).Execute();
    EXPECT_EQ(wait.sleeps, 3);
    EXPECT_EQ(Saved(dir).DisplayMs, 3840 + 3000);

    AdvertisementState again;
    Unpack(dir, again, 0);
    SteppedWait wrapped;
    wrapped.state = &again;
    again.AdStartTick = 0xFFFFFC18u;  // 1000 ms before the wrap
    wrapped.tick = 500;               // 500 ms after it
    TCmThread(again, wrapped.Hooks()).Execute();
    EXPECT_EQ(Saved(dir).DisplayMs, 1500 + 1000);
}

namespace {

// The user-interface thread's side of the hand-over: work posted by the wait
// thread runs when the user-interface thread pumps.
class UiQueue {
public:
    bool Synchronize(const std::function<void()>& work) {
        std::unique_lock<std::mutex> lock(mutex_);
        std::uint64_t ticket = ++posted_;
        queue_.push_back(&work);
        done_.wait(lock, [&] { return finished_ >= ticket; });
        return true;
    }
    // Runs what has been posted; answers whether anything ran.
    bool Pump() {
        std::unique_lock<std::mutex> lock(mutex_);
        bool ran = false;
        while (!queue_.empty()) {
            const std::function<void()>* work = queue_.front();
            queue_.pop_front();
            lock.unlock();
            (*work)();
            lock.lock();
            ++finished_;
            ran = true;
        }
        if (ran) done_.notify_all();
        return ran;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<const std::function<void()>*> queue_;
    std::uint64_t posted_ = 0, finished_ = 0;
};

// Counts wait threads that have been freed: each carries one of these in
// its hooks.
std::atomic<int> freedWorkers{0};
struct FreedMark {
    ~FreedMark() { freedWorkers.fetch_add(1); }
};

}  // namespace

TEST(AdvertisementWaitThreads, PlayStopAndCloseInALoop) {
    ScratchFolder dir;
    auto ui = std::make_shared<UiQueue>();
    AdvertisementState state;
    int starts = 0, closes = 0;
    std::atomic<std::uint32_t> ticks{0};
    const int rounds = 100;
    freedWorkers = 0;

    for (int round = 0; round < rounds; ++round) {
        Unpack(dir, state, round % 3 == 0 ? 0 : 5);
        state.AdStopRequested = false;
        state.AdStartTick = ticks.load();
        CmThreadHooks hooks;
        auto mark = std::make_shared<FreedMark>();
        hooks.TickCount = [&ticks, mark] { return ticks.load(); };
        // A fast clock: each sleep is a second of ticks but only a moment of
        // real time.
        hooks.Sleep = [&ticks](std::uint32_t ms) {
            ticks.fetch_add(ms);
            std::this_thread::yield();
        };
        hooks.Synchronize = [ui](const std::function<void()>& work) { return ui->Synchronize(work); };
        hooks.ClosePlayer = [&closes] { ++closes; };
        hooks.StartAdvertisement = [&starts] { ++starts; };
        state.AddClick();  // a click while the clip played
        TCmThread::Start(state, std::move(hooks));

        // The user-interface thread meanwhile: now and then the window
        // closes (a stop request) while the clip waits.
        if (round % 2 == 1) state.AdStopRequested = true;
        while (!state.AdIdle.load()) {
            ui->Pump();
            std::this_thread::yield();
        }
        // The wait thread has let go of the advertisement: read it here.
        ASSERT_FALSE(platform::FileExists(dir / "CM.AVI"));
        TCMData saved = Saved(dir);
        EXPECT_EQ(saved.ClickCount, 1);
        EXPECT_EQ(saved.DisplayMs, state.AdData.DisplayMs);
    }
    // Every worker ends and frees itself.
    for (int spin = 0; freedWorkers.load() < rounds && spin < 200000; ++spin) std::this_thread::yield();
    EXPECT_EQ(freedWorkers.load(), rounds);
    EXPECT_EQ(closes, rounds);
    // Rounds without a stop start the next clip.
    EXPECT_EQ(starts, rounds / 2);
}

TEST(AdvertisementWaitThreads, AStopIsAnsweredWithinAboutASecond) {
    ScratchFolder dir;
    auto ui = std::make_shared<UiQueue>();
    AdvertisementState state;
    Unpack(dir, state, 60);
    CmThreadHooks hooks = CmThreadHooks::WithSystemTime();
    hooks.Synchronize = [ui](const std::function<void()>& work) { return ui->Synchronize(work); };
    hooks.ClosePlayer = [] {};
    hooks.StartAdvertisement = [] { ADD_FAILURE() << "no next clip after a stop"; };
    platform::Clock& clock = platform::SystemClock();
    state.AdStartTick = clock.TickCount();
    TCmThread::Start(state, hooks);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    std::uint32_t asked = clock.TickCount();
    state.AdStopRequested = true;
    while (!state.AdIdle.load()) {
        ui->Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::uint32_t waited = clock.TickCount() - asked;
    EXPECT_LE(waited, 1500u);
    EXPECT_GE(Saved(dir).DisplayMs, 250);
}
