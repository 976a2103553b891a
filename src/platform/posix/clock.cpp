#include <sys/time.h>
#include <time.h>

#include <cerrno>

#include "platform/datetime.h"

namespace kumoya::platform {
namespace {

class PosixClock : public Clock {
public:
    double Now() override {
        timeval tv;
        gettimeofday(&tv, nullptr);
        tm local;
        localtime_r(&tv.tv_sec, &local);
        DateParts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(tv.tv_usec / 1000)};
        return EncodeDateTime(p);
    }
    std::uint32_t TickCount() override {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint32_t>(ts.tv_sec * 1000ull + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ull);
    }
};

}  // namespace

void Clock::Sleep(std::uint32_t milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

template <>
Clock& Service<Clock>::Default() {
    static PosixClock clock;
    return clock;
}

}  // namespace kumoya::platform
