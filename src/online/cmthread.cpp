#include "online/cmthread.h"

#include <cmath>
#include <memory>
#include <thread>

#include "platform/datetime.h"

namespace kumoya {

CmThreadHooks CmThreadHooks::WithSystemTime() {
    CmThreadHooks hooks;
    hooks.TickCount = [] { return platform::SystemClock().TickCount(); };
    hooks.Sleep = [](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    return hooks;
}

void TCmThread::Start(AdvertisementState& state, CmThreadHooks hooks) {
    // Cleared here rather than on the new thread, so that a stop request
    // that follows at once already waits for it.
    state.AdIdle.store(false, std::memory_order_release);
    std::thread([worker = std::make_unique<TCmThread>(state, std::move(hooks))] { worker->Execute(); }).detach();
}

void TCmThread::Execute() {
    AdvertisementState& s = state_;
    s.AdIdle.store(false, std::memory_order_release);

    // Tick differences are taken in 32 bits, so a wrap of the counter
    // during the clip or the pause still gives the true time.
    auto since = [this](std::uint32_t start) { return static_cast<std::uint32_t>(hooks_.TickCount() - start); };
    s.AdData.DisplayMs += since(s.AdStartTick.load(std::memory_order_acquire));

    // A pause that is no number counts as none.
    const double pauseMs = std::isnan(s.AdData.PauseSeconds) ? 0.0 : s.AdData.PauseSeconds * 1000;
    const std::uint32_t t0 = hooks_.TickCount();
    std::uint32_t e = 0;
    for (;;) {
        e = since(t0);
        if (pauseMs < e) break;
        if (s.AdStopRequested.load(std::memory_order_acquire)) {
            s.AdData.DisplayMs += e;
            if (!hooks_.Synchronize(hooks_.ClosePlayer)) return;
            // The user-interface thread waits for AdIdle meanwhile, so the
            // save here cannot meet one of its own.
            s.TakeClicks();
            s.AdData.SaveWithClip(s.AdFile);
            s.AdIdle.store(true, std::memory_order_release);
            return;
        }
        hooks_.Sleep(1000);
    }

    s.AdData.DisplayMs += e;
    // The rest runs on the user-interface thread. AdIdle is set there, just
    // before the next clip starts (so that starting it does not wait for
    // this thread), and once it is set this thread touches nothing of the
    // window's any more. A window that asked to stop meanwhile gets no new
    // clip.
    CmThreadHooks& hooks = hooks_;
    hooks.Synchronize([&s, &hooks] {
        hooks.ClosePlayer();
        s.TakeClicks();
        s.AdData.SaveWithClip(s.AdFile);
        s.AdIdle.store(true, std::memory_order_release);
        if (!s.AdStopRequested.load(std::memory_order_acquire)) hooks.StartAdvertisement();
    });
}

}  // namespace kumoya
