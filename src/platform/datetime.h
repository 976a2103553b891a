// The date-time value used in every stored record: days since 30 December 1899
// as a double, the time of day as the fraction, local time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/service.h"

namespace kumoya::platform {

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

double EncodeDateTime(const DateParts& parts);
DateParts DecodeDateTime(double value);
// "yyyymmdd" of the value's calendar day.
std::string FormatYmd(double value);

class Clock {
public:
    virtual ~Clock() = default;
    virtual double Now() = 0;               // local date-time
    virtual std::uint32_t TickCount() = 0;  // milliseconds, wraps
    // Waits that long (a stand-in clock may only move its ticks on).
    virtual void Sleep(std::uint32_t milliseconds);
};
template <> Clock& Service<Clock>::Default();

inline Clock& SystemClock() { return Service<Clock>::Get(); }

}  // namespace kumoya::platform
