#include "textconv/pzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "textconv/sample_text.h"

using kumoya::TPzConv;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

const std::string kOpen = "\x1B$B";
const std::string kCloseAscii = "\x1B(B";
const std::string kCloseRoman = "\x1B(J";

// Half-width ﾊ ﾟ ｿ ｺ ﾝ.
const std::string kHalfPasokon = "\xCA\xDF\xBF\xBA\xDD";

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(byte(rng)));
    return s;
}

}  // namespace

// --- byte operations ---------------------------------------------------------

TEST(PzConvBytes, JisAndShiftJisArithmeticAreInverseOverTheWholeTable) {
    EXPECT_EQ(TPzConv::Jis_SJis(0x30, 0x21), "亜");
    EXPECT_EQ(TPzConv::SJis_Jis(0x83, 0x5C), Bytes({0x25, 0x3D}));  // ソ
    EXPECT_EQ(TPzConv::SJis_Jis(0xEA, 0xA4), Bytes({0x74, 0x26}));  // 熙, the last character
    EXPECT_EQ(TPzConv::Jis_SJis(0x21, 0x21), "　");

    for (int c1 = 0x21; c1 <= 0x7E; ++c1) {
        for (int c2 = 0x21; c2 <= 0x7E; ++c2) {
            const std::string sjis = TPzConv::Jis_SJis(static_cast<unsigned char>(c1), static_cast<unsigned char>(c2));
            ASSERT_EQ(sjis.size(), 2u);
            const auto s1 = static_cast<unsigned char>(sjis[0]);
            const auto s2 = static_cast<unsigned char>(sjis[1]);
            ASSERT_TRUE((s1 >= 0x81 && s1 <= 0x9F) || (s1 >= 0xE0 && s1 <= 0xEF)) << c1 << "," << c2;
            ASSERT_TRUE(s2 >= 0x40 && s2 <= 0xFC && s2 != 0x7F) << c1 << "," << c2;
            ASSERT_EQ(TPzConv::SJis_Jis(s1, s2), Bytes({c1, c2}));
        }
    }
    // Outside the rows there is no character.
    EXPECT_EQ(TPzConv::Jis_SJis(0x20, 0x21), "");
    EXPECT_EQ(TPzConv::Jis_SJis(0x7F, 0x21), "");
    EXPECT_EQ(TPzConv::Jis_SJis(0x1B, 0x24), "");
}

TEST(PzConvBytes, CodeTableTellingRows) {
    const auto code = [](int byte) { return TPzConv::CODE_TABLE[byte - 0xA1]; };
    EXPECT_EQ(code(0xA1), 0x8142);  // 。
    EXPECT_EQ(code(0xA2), 0x8175);  // 「
    EXPECT_EQ(code(0xA6), 0x8392);  // ヲ
    EXPECT_EQ(code(0xA7), 0x8340);  // ァ
    EXPECT_EQ(code(0xB0), 0x815B);  // ー
    EXPECT_EQ(code(0xB1), 0x8341);  // ア
    EXPECT_EQ(code(0xB6), 0x834A);  // カ
    EXPECT_EQ(code(0xCA), 0x836E);  // ハ
    EXPECT_EQ(code(0xDD), 0x8393);  // ン
    EXPECT_EQ(code(0xDE), 0x814A);  // ゛
    EXPECT_EQ(code(0xDF), 0x814B);  // ゜
}

TEST(PzConvBytes, HexAndBase64Digits) {
    EXPECT_EQ(TPzConv::Int2Hex(0xAB), "ab");
    EXPECT_EQ(TPzConv::Int2Hex(0x05), "05");
    EXPECT_EQ(TPzConv::Hex2Int('F') * 16 + TPzConv::Hex2Int('e'), 0xFE);
    EXPECT_EQ(TPzConv::Hex2Int('g'), 0);
    EXPECT_EQ(TPzConv::Hex2Int(0xFF), 0);
    EXPECT_EQ(TPzConv::Int2B64(62), '+');
    EXPECT_EQ(TPzConv::Int2B64(63), '/');
    EXPECT_EQ(TPzConv::Int2B64(64), '=');
    EXPECT_EQ(TPzConv::Int2B64(1000), '=');
    EXPECT_EQ(TPzConv::B642Int('/'), 63);
    EXPECT_EQ(TPzConv::B642Int('='), 64);
    EXPECT_EQ(TPzConv::B642Int('\n'), 64);
}

// --- half-width kana -----------------------------------------------------------

TEST(PzConvKana, HanToZenMergesOnlyTheMarksAKanaTakes) {
    TPzConv conv;
    EXPECT_EQ(conv.HanToZen(kHalfPasokon), "パソコン");
    EXPECT_EQ(conv.HanToZen("\xB3\xDE"), "\x83\x94");               // ｳﾞ -> ヴ
    EXPECT_EQ(conv.HanToZen("\xB1\xDE"), "ア゛");                    // ｱ takes no mark
    EXPECT_EQ(conv.HanToZen("\xB6\xDF"), "カ゜");                    // nor ｶ the semi-voicing one
    EXPECT_EQ(conv.HanToZen("\xC4\xDE\xCE\xDE\xCE\xDF"), "ドボポ");  // ends of the ranges
    EXPECT_EQ(conv.HanToZen("\xDE\xDF"), "゛゜");                    // marks on their own
    EXPECT_EQ(conv.HanToZen("\xB6\xDE\xDE"), "ガ゛");                // one mark per kana
    EXPECT_EQ(conv.HanToZen("ABC"), "ABC");
    // Trail bytes in 0xA1-0xDF belong to their character: い is 0x82 0xA2.
    EXPECT_EQ(conv.HanToZen("い\xB6"), "いカ");
    // A lead byte cut off at the end is copied alone, not read beyond.
    EXPECT_EQ(conv.HanToZen("\xB6\x82"), "カ\x82");
}

TEST(PzConvKana, HanToZen2KeepsMarksApart) {
    TPzConv conv;
    EXPECT_EQ(conv.HanToZen2(kHalfPasokon), "ハ゜ソコン");
    EXPECT_EQ(conv.HanToZen2("\xB3\xDE"), "ウ゛");
    EXPECT_EQ(conv.HanToZen2("い\xA1x"), "い。x");
}

// --- JIS -----------------------------------------------------------------------

TEST(PzConvJis, HalfWidthPasokonUnderBothKanaSettings) {
    TPzConv conv;
    // パ ソ コ ン in JIS X 0208.
    EXPECT_EQ(conv.SJisToJis(kHalfPasokon), kOpen + "\x25\x51\x25\x3D\x25\x33\x25\x73" + kCloseAscii);
    conv.JisKanaConvType = kumoya::ktZenSepaDaku;
    // ハ ゜ ソ コ ン: five codes.
    EXPECT_EQ(conv.SJisToJis(kHalfPasokon), kOpen + "\x25\x4F\x21\x2C\x25\x3D\x25\x33\x25\x73" + kCloseAscii);
    conv.JisKanaConvType = kumoya::ktNone;
    EXPECT_EQ(conv.SJisToJis(kHalfPasokon), kHalfPasokon);  // 8-bit bytes, no escape
    EXPECT_EQ(conv.SJisToJis("日" + kHalfPasokon.substr(0, 1)), kOpen + "\x46\x7C" + kCloseAscii + "\xCA");
}

TEST(PzConvJis, EscapesOnlyOnAChangeOfMode) {
    TPzConv conv;
    const std::string ascii = "Subject: hello, world! 0123 \t\r\n";
    EXPECT_EQ(conv.SJisToJis(ascii), ascii);
    EXPECT_EQ(conv.SJisToJis(""), "");

    EXPECT_EQ(conv.SJisToJis("a日本b"), "a" + kOpen + "\x46\x7C\x4B\x5C" + kCloseAscii + "b");
    EXPECT_EQ(conv.SJisToJis("表\r\n能"),
              kOpen + "\x49\x3D" + kCloseAscii + "\r\n" + kOpen + "\x47\x3D" + kCloseAscii);
    conv.JisByteCodeType = kumoya::btRoman;
    EXPECT_EQ(conv.SJisToJis("ソx"), kOpen + "\x25\x3D" + kCloseRoman + "x");
    EXPECT_EQ(conv.SJisToJis("ソ"), kOpen + "\x25\x3D" + kCloseRoman);
}

TEST(PzConvJis, SampleTextRoundTrips) {
    TPzConv conv;
    const std::string text = kumoya::testsupport::JapaneseSampleText();
    const std::string jis = conv.SJisToJis(text);
    for (char c : jis) ASSERT_EQ(static_cast<unsigned char>(c) & 0x80, 0) << "JIS output must be 7-bit";
    EXPECT_EQ(conv.JisToSJis(jis), text);
    conv.JisByteCodeType = kumoya::btRoman;
    EXPECT_EQ(conv.JisToSJis(conv.SJisToJis(text)), text);
}

TEST(PzConvJis, JisToSJisEscapesAndBrokenInput) {
    TPzConv conv;
    EXPECT_EQ(conv.JisToSJis(kOpen + "\x25\x3D" + kCloseRoman + "x"), "ソx");
    // Unknown escapes are ordinary bytes outside a double-byte run.
    EXPECT_EQ(conv.JisToSJis("\x1B(Iabc"), "\x1B(Iabc");
    // Cut-off escapes and a lone last byte.
    EXPECT_EQ(conv.JisToSJis("ab\x1B$"), "ab\x1B$");
    EXPECT_EQ(conv.JisToSJis(kOpen + "\x25\x3D\x25"), "ソ");
    EXPECT_EQ(conv.JisToSJis(kOpen + "\x1B("), "");
    // Bytes outside the rows inside a run give nothing.
    EXPECT_EQ(conv.JisToSJis(kOpen + "\x0D\x0A\x25\x3D"), "ソ");
}

TEST(PzConvJis, LeadByteCutOffAtTheEndIsDropped) {
    TPzConv conv;
    EXPECT_EQ(conv.SJisToJis("ab\x83"), "ab");
    EXPECT_EQ(conv.SJisToJis("ソ\x83"), kOpen + "\x25\x3D" + kCloseAscii);
    EXPECT_EQ(conv.SJisToEuc("ab\x83"), "ab");
}

// --- EUC -----------------------------------------------------------------------

TEST(PzConvEuc, ConversionBothWays) {
    TPzConv conv;
    EXPECT_EQ(conv.SJisToEuc("aソ表b"), Bytes({'a', 0xA5, 0xBD, 0xC9, 0xBD, 'b'}));
    EXPECT_EQ(conv.EucToSJis(Bytes({'a', 0xA5, 0xBD, 0xC9, 0xBD, 'b'})), "aソ表b");
    EXPECT_EQ(conv.SJisToEuc(kHalfPasokon), Bytes({0xA5, 0xD1, 0xA5, 0xBD, 0xA5, 0xB3, 0xA5, 0xF3}));
    conv.JisKanaConvType = kumoya::ktNone;
    EXPECT_EQ(conv.SJisToEuc("\xB6\xDE"), Bytes({0x8E, 0xB6, 0x8E, 0xDE}));
    EXPECT_EQ(conv.EucToSJis(Bytes({0x8E, 0xB6, 0x8E, 0xDE})), "\xB6\xDE");

    const std::string text = kumoya::testsupport::JapaneseSampleText();
    EXPECT_EQ(conv.EucToSJis(conv.SJisToEuc(text)), text);
}

TEST(PzConvEuc, StrayBytes) {
    TPzConv conv;
    // 0x8E not followed by a kana, 0x80, 0xA0 and 0xFF are copied.
    EXPECT_EQ(conv.EucToSJis(Bytes({0x8E, 'a', 0x80, 0xA0, 0xFF})), Bytes({0x8E, 'a', 0x80, 0xA0, 0xFF}));
    EXPECT_EQ(conv.EucToSJis(Bytes({'a', 0x8E})), Bytes({'a', 0x8E}));
    // A double-byte byte without its partner at the end is dropped.
    EXPECT_EQ(conv.EucToSJis(Bytes({'a', 0xA5})), "a");
    // Shift_JIS bytes that are not characters pass through.
    EXPECT_EQ(conv.SJisToEuc(Bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF})), Bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF}));
}

// --- URL-form encoding ---------------------------------------------------------

TEST(PzConvWeb, EncodingAndDecoding) {
    TPzConv conv;
    EXPECT_EQ(conv.WebEncode(" "), "+");
    EXPECT_EQ(conv.WebEncode("a b"), "a+b");
    EXPECT_EQ(conv.WebEncode("ソ"), "%83%5c");
    EXPECT_EQ(conv.WebEncode("Az09*-._"), "Az09*-._");
    // The form's own delimiters are escaped, so a value cannot split the form.
    EXPECT_EQ(conv.WebEncode("a=1&b+c%"), "a%3d1%26b%2bc%25");
    EXPECT_EQ(conv.WebEncode(std::string("\0\n", 2)), "%00%0a");

    EXPECT_EQ(conv.WebDecode("a+b"), "a b");
    EXPECT_EQ(conv.WebDecode("%83%5C%83%5c"), "ソソ");
    // An escaped plus sign is a plus sign.
    EXPECT_EQ(conv.WebDecode("%2B"), "+");
    EXPECT_EQ(conv.WebDecode("1%2b1"), "1+1");
    // A "%" too near the end is kept; non-hex digits count as 0.
    EXPECT_EQ(conv.WebDecode("50%"), "50%");
    EXPECT_EQ(conv.WebDecode("%4"), "%4");
    EXPECT_EQ(conv.WebDecode("%zz"), std::string(1, '\0'));
}

TEST(PzConvWeb, RoundTripOfAnyBytes) {
    TPzConv conv;
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(conv.WebDecode(conv.WebEncode(all)), all);
    const std::string text = kumoya::testsupport::JapaneseSampleText();
    EXPECT_EQ(conv.WebDecode(conv.WebEncode(text)), text);
}

// --- Base64 --------------------------------------------------------------------

TEST(PzConvBase64, KnownValues) {
    TPzConv conv;
    EXPECT_EQ(conv.B64Encode("abc"), "YWJj");
    EXPECT_EQ(conv.B64Encode("ab"), "YWI=");
    EXPECT_EQ(conv.B64Encode("a"), "YQ==");
    EXPECT_EQ(conv.B64Encode(""), "");
    EXPECT_EQ(conv.B64Encode("\xFF\xFF\xFE"), "///+");
    EXPECT_EQ(conv.B64Decode("YWJj"), "abc");
    EXPECT_EQ(conv.B64Decode("YWI="), "ab");
    EXPECT_EQ(conv.B64Decode("YQ=="), "a");
    EXPECT_EQ(conv.B64Decode("YWJjYQ"), "abc");  // unfinished last group
    EXPECT_EQ(conv.B64Decode(""), "");
}

TEST(PzConvBase64, ZeroBytesSurviveTheRoundTrip) {
    TPzConv conv;
    EXPECT_EQ(conv.B64Decode("AAAA"), std::string(3, '\0'));
    EXPECT_EQ(conv.B64Decode("YQBi"), std::string("a\0b", 3));
    EXPECT_EQ(conv.B64Decode("AA=="), std::string(1, '\0'));

    std::mt19937 rng(1234);
    for (std::size_t n = 0; n < 64; ++n) {
        std::string data = RandomBytes(rng, n);
        if (n % 3 == 0 && n > 0) data[n / 2] = '\0';
        ASSERT_EQ(conv.B64Decode(conv.B64Encode(data)), data) << n;
        ASSERT_EQ(conv.B64Decode(conv.B64Encode(std::string(n, '\0'))), std::string(n, '\0')) << n;
    }
}

// --- MIME encoded words --------------------------------------------------------

TEST(PzConvMime, EncodeOnlyWhatNeedsIt) {
    TPzConv conv;
    EXPECT_EQ(conv.MIMEHeaderEncode(""), "");
    EXPECT_EQ(conv.MIMEHeaderEncode("Bug report: crash at start"), "Bug report: crash at start");
    EXPECT_EQ(conv.MIMEHeaderEncode(kHalfPasokon), kHalfPasokon);  // half-width kana alone
    EXPECT_EQ(conv.MIMEHeaderEncode("日本"), "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=");
    // The kana treatment applies once a double-byte character is there.
    EXPECT_EQ(conv.MIMEHeaderEncode("日" + kHalfPasokon),
              "=?ISO-2022-JP?B?" + conv.B64Encode(conv.SJisToJis("日パソコン")) + "?=");
}

TEST(PzConvMime, DecodeWordsInText) {
    TPzConv conv;
    const std::string word = conv.MIMEHeaderEncode("不具合の報告");
    EXPECT_EQ(conv.MIMEHeaderDecode(word), "不具合の報告");
    EXPECT_EQ(conv.MIMEHeaderDecode("Re: " + word + " (2)"), "Re: 不具合の報告 (2)");
    EXPECT_EQ(conv.MIMEHeaderDecode("=?iso-2022-jp?b?GyRCRnxLXBsoQg==?="), "日本");
    const std::string subject = kumoya::testsupport::JapaneseSampleLines()[2];
    EXPECT_EQ(conv.MIMEHeaderDecode(conv.MIMEHeaderEncode(subject)), subject);
}

TEST(PzConvMime, DecodeQuirksAndBrokenWords) {
    TPzConv conv;
    const std::string nihon = "=?ISO-2022-JP?B?GyRCRnxLXBsoQg==?=";
    // Words separated by a blank both decode; the blank stays.
    EXPECT_EQ(conv.MIMEHeaderDecode(nihon + " " + nihon), "日本 日本");
    // The byte after "?=" is plain text, so a word that follows at once is
    // not recognised.
    EXPECT_EQ(conv.MIMEHeaderDecode(nihon + nihon), "日本=?ISO-2022-JP?B?GyRCRnxLXBsoQg==");
    // A "?=" in plain text is dropped.
    EXPECT_EQ(conv.MIMEHeaderDecode("what?=no"), "whatno");
    // A word never closed is kept as it stands.
    EXPECT_EQ(conv.MIMEHeaderDecode("x =?ISO-2022-JP?B?GyRCRnxL"), "x =?ISO-2022-JP?B?GyRCRnxL");
    EXPECT_EQ(conv.MIMEHeaderDecode("=?ISO-2022-JP?B?"), "=?ISO-2022-JP?B?");
    EXPECT_EQ(conv.MIMEHeaderDecode("=?ISO-2022-JP?B"), "=?ISO-2022-JP?B");
}
