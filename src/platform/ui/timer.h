// A timer owned by a form: OnTimer fires on the user-interface thread every
// interval while the timer is enabled, from the message loop (modal loops
// and the system's own dialogs included). It stops when it is disabled or
// destroyed, so a timer that is a member of its form never fires for a form
// that has gone.
//
//   ui::Timer tmWait{*this};
//   tmWait.setInterval(1000);
//   tmWait.OnTimer = [this] { ... };
//   tmWait.setEnabled(true);
//
// Headless, time stands still until a test moves it on
// (HeadlessBackend::advanceTime).
#pragma once

#include <functional>

namespace kumoya::ui {

class Form;

class Timer {
public:
    explicit Timer(Form& owner) : owner_(owner) {}
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    Form& owner() const { return owner_; }
    // Milliseconds between ticks (at least 1); a change restarts a running timer.
    int interval() const { return interval_; }
    void setInterval(int ms);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    std::function<void()> OnTimer;
    // A tick arrived (backends call it).
    void userTick();

private:
    Form& owner_;
    int interval_ = 1000;
    bool enabled_ = false;
    bool running_ = false;
};

}  // namespace kumoya::ui
