#include "platform/datetime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kumoya::platform;

TEST(DateTime, KnownValuesOfTheDayCount) {
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 30}), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1900, 1, 1}), 2.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({2000, 1, 1, 12, 0, 0, 0}), 36526.5);
    EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_EQ(FormatYmd(36526.5), "20000101");
    EXPECT_EQ(FormatYmd(-1.25), "18991229");
    EXPECT_EQ(FormatYmd(0), "18991230");
}

TEST(DateTime, DecodeRoundTripsAcrossLeapDaysAndMidnight) {
    for (DateParts p : {DateParts{2024, 2, 29, 23, 59, 59, 999}, DateParts{2100, 3, 1, 0, 0, 0, 0},
                        DateParts{1999, 12, 31, 12, 30, 15, 250}}) {
        DateParts q = DecodeDateTime(EncodeDateTime(p));
        EXPECT_EQ(std::tie(q.year, q.month, q.day, q.hour, q.minute, q.second, q.millisecond),
                  std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond));
    }
    // Stored values from damaged files must not misbehave.
    EXPECT_EQ(FormatYmd(std::nan("")), "18991230");
    EXPECT_EQ(FormatYmd(1e300), "18991230");
}

TEST(DateTime, SystemClockIsLocalAndMoves) {
    double now = SystemClock().Now();
    EXPECT_GT(now, EncodeDateTime({2020, 1, 1}));
    EXPECT_LT(now, EncodeDateTime({2200, 1, 1}));
}
