#include "platform/ui/timer.h"

#include "platform/ui/backend.h"

namespace kumoya::ui {

Timer::~Timer() {
    if (running_) Backend().stopTimer(*this);
}

void Timer::setInterval(int ms) {
    ms = ms < 1 ? 1 : ms;
    if (ms == interval_) return;
    interval_ = ms;
    if (running_) Backend().startTimer(*this);  // restarts it with the new interval
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled && !running_) {
        Backend().startTimer(*this);
        running_ = true;
    } else if (!enabled && running_) {
        Backend().stopTimer(*this);
        running_ = false;
    }
}

void Timer::userTick() {
    // A tick already queued when the timer was stopped is not delivered.
    if (!running_) return;
    if (OnTimer) OnTimer();
}

}  // namespace kumoya::ui
