// The Linux build writes dates as a Japanese system does by default; on
// Windows the user's own formats apply, so the exact texts are checked here.
#include <gtest/gtest.h>

#include "manager/property_form.h"

using namespace kumoya;
using kumoya::platform::EncodeDateTime;

TEST(PropertyFormTest, LastLaunchShowsTheTimeOnlyWhenThereIsOne) {
    EXPECT_EQ(FormatLastLaunch(0), "1899/12/30") << "never launched";
    EXPECT_EQ(FormatLastLaunch(EncodeDateTime({2026, 1, 2, 0, 0, 0, 0})), "2026/01/02");
    EXPECT_EQ(FormatLastLaunch(EncodeDateTime({2026, 1, 2, 0, 0, 1, 0})), "2026/01/02 0:00:01");
    EXPECT_EQ(FormatLastLaunch(EncodeDateTime({2026, 12, 31, 23, 59, 59, 0})), "2026/12/31 23:59:59");
}
