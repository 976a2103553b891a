// Handing work from other threads to the user-interface thread.
//
// Forms and controls belong to the user-interface thread: a worker thread
// never touches them itself, it hands the work over. It takes a UiTarget of
// the form the work is for (made on the user-interface thread, then copied to
// the worker) and either posts the work and goes on, or sends it and waits
// until it has run:
//
//   ui::UiTarget target = ui::UiTarget::Of(*this);      // UI thread
//   std::thread([target] {
//       ...
//       target.send([this] { mpAd.close(); });          // runs on the UI thread
//       target.post([this] { StartAdvertisement(); });  // queued; returns at once
//   }).detach();
//
// Work runs from the message loop (processMessages and modal loops included),
// in the order it was handed over. Work for a form that has gone is dropped,
// never run: a form going away drops what is queued for it and releases the
// threads waiting in send(). Both calls are safe from any thread; on the
// user-interface thread send() runs the work at once.
#pragma once

#include <functional>
#include <memory>

namespace kumoya::ui {

class Form;

namespace detail {
struct FormLife;
}

class UiTarget {
public:
    // A target without a form: every hand-over is dropped.
    UiTarget() = default;
    // The target of `form`; call on the user-interface thread.
    static UiTarget Of(Form& form);

    // Queues the work and returns at once. Answers false when it was
    // dropped at once (the form has gone); work queued while the form lives
    // still does not run once the form has gone.
    bool post(std::function<void()> work) const;
    // Queues the work and waits until it has run. Answers true when it ran,
    // false when it was dropped because the form went first. An exception
    // from the work goes to the application's top-level handler as it would
    // from an event; the work still counts as run.
    bool send(std::function<void()> work) const;
    // The form is still there (it may go at any moment after the answer).
    bool alive() const;

private:
    explicit UiTarget(std::shared_ptr<detail::FormLife> life) : life_(std::move(life)) {}
    std::shared_ptr<detail::FormLife> life_;
};

// Whether the caller runs on the user-interface thread (the thread that
// first used the form framework).
bool OnUiThread();

namespace detail {
// Called by a form that is being destroyed (on the user-interface thread).
void FormGone(const Form& form);
// Marks the calling thread as the user-interface thread (backends do it
// when they are created).
void MarkUiThread();
}  // namespace detail

}  // namespace kumoya::ui
