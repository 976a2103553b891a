// The wait after an advertisement clip: a worker thread, one per played
// clip, that times the pause after the clip in one-second steps, adds the
// display time to the advertisement's statistics, and then has the
// user-interface thread close the player, save the advertisement and start
// the next one. On a stop request it saves the advertisement itself while
// the user-interface thread waits for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "online/cmdata.h"

namespace kumoya {

// The advertisement fields the management window shares with the wait
// thread. AdIdle is the hand-shake: while it is false the wait thread owns
// AdData, except for clicks, which go through AddClick.
struct AdvertisementState {
    TCMData AdData;
    std::string AdFile;
    std::atomic<std::uint32_t> AdStartTick{0};
    std::atomic<bool> AdStopRequested{false};
    std::atomic<bool> AdIdle{true};

    // A click on the strip while the advertisement is shown; safe from the
    // user-interface thread at any time. Counted into AdData.ClickCount
    // before each save.
    void AddClick() { pendingClicks_.fetch_add(1, std::memory_order_relaxed); }
    // Counts the clicks into AdData; by whoever owns AdData at that moment.
    void TakeClicks() { AdData.ClickCount += pendingClicks_.exchange(0, std::memory_order_relaxed); }

private:
    std::atomic<std::int32_t> pendingClicks_{0};
};

// What the wait thread needs from the window and the system.
struct CmThreadHooks {
    // Milliseconds of the system's tick counter (it wraps after 49.7 days).
    std::function<std::uint32_t()> TickCount;
    std::function<void(std::uint32_t milliseconds)> Sleep;
    // Runs `work` on the user-interface thread and returns once it has run:
    // true; false when it was dropped because the window has gone, and with
    // it the state, which the thread then leaves alone and ends.
    std::function<bool(const std::function<void()>& work)> Synchronize;
    // Called on the user-interface thread.
    std::function<void()> ClosePlayer;
    std::function<void()> StartAdvertisement;

    // TickCount from the system clock and Sleep as a real sleep; the window
    // supplies the other three.
    static CmThreadHooks WithSystemTime();
};

class TCmThread {
public:
    TCmThread(AdvertisementState& state, CmThreadHooks hooks) : state_(state), hooks_(std::move(hooks)) {}

    // Starts the wait on a thread of its own, which frees itself when it
    // ends. AdIdle is false from the moment this returns.
    static void Start(AdvertisementState& state, CmThreadHooks hooks);

    // The wait from start to end, on the calling thread. Returns after the
    // last touch of the state: once AdIdle is true, the window may start
    // another clip or close.
    void Execute();

private:
    AdvertisementState& state_;
    CmThreadHooks hooks_;
};

}  // namespace kumoya
