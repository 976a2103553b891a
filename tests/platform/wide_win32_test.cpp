#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include "platform/codec.h"

using namespace kumoya::platform;

// The one converter at the edge of the wide APIs: code page 932 whatever the
// locale, refusing what would otherwise turn silently into '?'.
TEST(WideText, ShiftJisRoundTripsAndFaultsAreRefusedOrShown) {
    const std::string sjis = "表示\\ｶﾅ～";  // 0x5C trail byte, half-width kana, wave dash
    auto wide = win32::ToWide(sjis);
    ASSERT_TRUE(wide);
    EXPECT_EQ(*wide, std::wstring(L"\u8868\u793a\\\uff76\uff85\uff5e"));
    EXPECT_EQ(win32::FromWide(*wide), sjis);

    const std::string broken = std::string("ab") + '\x81';  // a lead byte without its trail
    EXPECT_FALSE(win32::ToWide(broken));
    auto shown = win32::ToWide(broken, win32::InvalidBytes::Replace);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->substr(0, 2), L"ab");
    EXPECT_EQ(shown->size(), 3u);

    EXPECT_FALSE(win32::FromWide(L"\u00e9\u4e02"));  // no Shift_JIS form
    EXPECT_EQ(win32::ToWide(""), std::wstring());


    const char8_t* utf8 = u8"表示\\ｶﾅ～";
    const std::string utf8Bytes(reinterpret_cast<const char*>(utf8));
    EXPECT_EQ(SjisToUtf8(sjis), utf8Bytes);
    EXPECT_EQ(Utf8ToSjis(utf8Bytes), sjis);
    EXPECT_FALSE(Utf8ToSjis(std::string("\xff\xfe")));
}
