// A clock that stands still until a test moves it.
#pragma once

#include "platform/datetime.h"

namespace kumoya::testsupport {

class FakeClock : public platform::Clock {
public:
    explicit FakeClock(double now) : now_(now), scope_(*this) {}
    double Now() override { return now_; }
    std::uint32_t TickCount() override { return ticks_; }
    void Set(double now) { now_ = now; }
    void AdvanceTicks(std::uint32_t ms) { ticks_ += ms; }
    void Sleep(std::uint32_t ms) override { ticks_ += ms; }

private:
    double now_;
    std::uint32_t ticks_ = 0;
    platform::ScopedService<platform::Clock> scope_;
};

}  // namespace kumoya::testsupport
