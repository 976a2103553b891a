#include "platform/ui/threads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/backend.h"

namespace kumoya::ui {
namespace detail {

// One sent piece of work: the worker waits until the UI thread has run it
// or it has been dropped.
struct Waiter {
    enum class State { Queued, Running, Ran, Dropped };
    std::mutex mutex;
    std::condition_variable done;
    State state = State::Queued;

    // Queued -> Running; false when it was dropped meanwhile.
    bool start() {
        std::lock_guard<std::mutex> lock(mutex);
        if (state != State::Queued) return false;
        state = State::Running;
        return true;
    }
    void finish(State end) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (state == State::Ran || state == State::Dropped) return;
            state = end;
        }
        done.notify_all();
    }
    // Drops the work unless it already runs.
    void drop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (state != State::Queued) return;
            state = State::Dropped;
        }
        done.notify_all();
    }
    bool wait() {
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [this] { return state == State::Ran || state == State::Dropped; });
        return state == State::Ran;
    }
};

struct FormLife {
    std::atomic<bool> gone{false};
    std::mutex mutex;
    std::vector<std::shared_ptr<Waiter>> waiting;

    // Registers a sender; false when the form has gone already.
    bool enlist(const std::shared_ptr<Waiter>& waiter) {
        std::lock_guard<std::mutex> lock(mutex);
        if (gone) return false;
        waiting.push_back(waiter);
        return true;
    }
    void discharge(const Waiter* waiter) {
        std::lock_guard<std::mutex> lock(mutex);
        std::erase_if(waiting, [waiter](const std::shared_ptr<Waiter>& w) { return w.get() == waiter; });
    }
    void end() {
        std::vector<std::shared_ptr<Waiter>> released;
        {
            std::lock_guard<std::mutex> lock(mutex);
            gone = true;
            released.swap(waiting);
        }
        for (auto& waiter : released) waiter->drop();
    }
};

namespace {

std::atomic<std::thread::id> uiThread{};

// Forms that have handed out a target; touched on the UI thread only.
std::map<const Form*, std::shared_ptr<FormLife>>& Lives() {
    static std::map<const Form*, std::shared_ptr<FormLife>> lives;
    return lives;
}

// Runs the work as an event handler would: an exception goes to the
// top-level handler rather than into the message loop.
void RunProtected(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        App().handleException(std::current_exception());
    }
}

// Drops a sent piece of work that the backend discarded without running it
// (its queue went away): the closure holds the last reference.
struct DropIfDiscarded {
    std::shared_ptr<Waiter> waiter;
    ~DropIfDiscarded() {
        if (waiter) waiter->drop();
    }
};

}  // namespace

void FormGone(const Form& form) {
    auto& lives = Lives();
    auto it = lives.find(&form);
    if (it == lives.end()) return;
    it->second->end();
    lives.erase(it);
}

void MarkUiThread() { uiThread.store(std::this_thread::get_id()); }

}  // namespace detail

bool OnUiThread() {
    std::thread::id ui = detail::uiThread.load();
    return ui == std::thread::id() || ui == std::this_thread::get_id();
}

UiTarget UiTarget::Of(Form& form) {
    auto& life = detail::Lives()[&form];
    if (!life) life = std::make_shared<detail::FormLife>();
    return UiTarget(life);
}

bool UiTarget::alive() const { return life_ && !life_->gone; }

bool UiTarget::post(std::function<void()> work) const {
    if (!alive()) return false;
    Backend().post([life = life_, work = std::move(work)] {
        if (!life->gone) detail::RunProtected(work);
    });
    return true;
}

bool UiTarget::send(std::function<void()> work) const {
    if (!alive()) return false;
    if (OnUiThread()) {
        detail::RunProtected(work);
        return true;
    }
    auto waiter = std::make_shared<detail::Waiter>();
    if (!life_->enlist(waiter)) return false;
    auto guard = std::make_shared<detail::DropIfDiscarded>();
    guard->waiter = waiter;
    try {
        Backend().post([life = life_, waiter, guard, work = std::move(work)] {
            if (!waiter->start()) return;
            if (life->gone) {
                life->discharge(waiter.get());
                waiter->finish(detail::Waiter::State::Dropped);
                return;
            }
            struct Finish {
                detail::FormLife& life;
                detail::Waiter& waiter;
                ~Finish() {
                    life.discharge(&waiter);
                    waiter.finish(detail::Waiter::State::Ran);
                }
            } finish{*life, *waiter};
            detail::RunProtected(work);
        });
    } catch (...) {
        life_->discharge(waiter.get());
        return false;
    }
    guard.reset();
    return waiter->wait();
}

}  // namespace kumoya::ui
