#include <windows.h>

#include "platform/datetime.h"

namespace kumoya::platform {
namespace {

class WindowsClock : public Clock {
public:
    double Now() override {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return EncodeDateTime({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds});
    }
    std::uint32_t TickCount() override { return GetTickCount(); }
};

}  // namespace

void Clock::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

template <>
Clock& Service<Clock>::Default() {
    static WindowsClock clock;
    return clock;
}

}  // namespace kumoya::platform
