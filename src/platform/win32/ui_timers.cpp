#include <windows.h>

#include <map>
#include <stdexcept>

#include "platform/ui/application.h"
#include "platform/win32/ui_services.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {
namespace {

// Both ways, on the user-interface thread only.
std::map<UINT_PTR, Timer*>& ByTimerId() {
    static std::map<UINT_PTR, Timer*> timers;
    return timers;
}
std::map<Timer*, UINT_PTR>& ByTimer() {
    static std::map<Timer*, UINT_PTR> ids;
    return ids;
}

void CALLBACK TimerTick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = ByTimerId().find(id);
    if (it == ByTimerId().end()) return;  // stopped meanwhile
    try {
        it->second->userTick();
    } catch (...) {
        App().handleException(std::current_exception());
    }
}

}  // namespace

void StartTimer(Timer& timer) {
    StopTimer(timer);
    UINT_PTR id = SetTimer(nullptr, 0, static_cast<UINT>(timer.interval()), TimerTick);
    if (!id) throw std::runtime_error(platform::win32::ErrorText("SetTimer"));
    ByTimerId()[id] = &timer;
    ByTimer()[&timer] = id;
}

void StopTimer(Timer& timer) {
    auto it = ByTimer().find(&timer);
    if (it == ByTimer().end()) return;
    KillTimer(nullptr, it->second);
    ByTimerId().erase(it->second);
    ByTimer().erase(it);
}

}  // namespace kumoya::ui::win32
