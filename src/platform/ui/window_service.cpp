#include "platform/ui/window_service.h"

#include "platform/datetime.h"
#include "platform/ui/application.h"
#include "platform/ui/form.h"

namespace kumoya::ui {

std::uintptr_t NativeHandle(const Control& control) {
    if (auto* form = dynamic_cast<const Form*>(&control)) return Backend().nativeHandle(*form);
    return Backend().controlHandle(control);
}

int ScreenColorBits() { return Backend().screenColorBits(); }

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    platform::Clock& clock = platform::SystemClock();
    const std::uint32_t start = clock.TickCount();
    for (;;) {
        App().processMessages();
        if (done()) return true;
        if (App().terminated()) return false;
        int wait = 50;
        if (timeoutMs >= 0) {
            std::uint32_t elapsed = clock.TickCount() - start;
            if (elapsed >= static_cast<std::uint32_t>(timeoutMs)) return false;
            std::uint32_t left = static_cast<std::uint32_t>(timeoutMs) - elapsed;
            if (left < static_cast<std::uint32_t>(wait)) wait = static_cast<int>(left);
        }
        // Wakes early when a message or handed-over work arrives; the short
        // limit catches conditions that change without a message.
        Backend().waitMessage(wait < 10 ? wait : 10);
    }
}

}  // namespace kumoya::ui
