// Runs every text conversion on arbitrary bytes and checks the round trips:
// Base64 and URL-form encoding give back any input; Shift_JIS -> JIS ->
// Shift_JIS and Shift_JIS -> EUC-JP -> Shift_JIS give back valid Shift_JIS
// text without half-width kana (the input itself when it is such text, and
// always a text of that kind built from the input's bytes).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "textconv/pzconv.h"

using kumoya::TPzConv;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip failed: %s\n", what);
        std::abort();
    }
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// JIS X 0208 area of Shift_JIS: lead 0x81-0x9F or 0xE0-0xEF, trail 0x40-0xFC
// without 0x7F. Single bytes are ASCII other than ESC, which would read as an
// escape sequence once the text is JIS.
bool IsPlainSjis(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if (c == 0x1B) return false;
            continue;
        }
        if (!IsLead(c) || c > 0xEF || i + 1 >= s.size()) return false;
        const auto t = static_cast<unsigned char>(s[++i]);
        if (t < 0x40 || t > 0xFC || t == 0x7F) return false;
    }
    return true;
}

// A valid text of that kind made from arbitrary bytes.
std::string MakePlainSjis(std::string_view data) {
    static const std::string leads = [] {
        std::string l;
        for (int c = 0x81; c <= 0x9F; ++c) l.push_back(static_cast<char>(c));
        for (int c = 0xE0; c <= 0xEF; ++c) l.push_back(static_cast<char>(c));
        return l;
    }();
    static const std::string trails = [] {
        std::string t;
        for (int c = 0x40; c <= 0xFC; ++c) {
            if (c != 0x7F) t.push_back(static_cast<char>(c));
        }
        return t;
    }();
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x80) {
            out.push_back(c == 0x1B ? '?' : static_cast<char>(c));
        } else {
            const auto next = i + 1 < data.size() ? static_cast<unsigned char>(data[++i]) : 0;
            out.push_back(leads[c % leads.size()]);
            out.push_back(trails[next % trails.size()]);
        }
    }
    return out;
}

bool HasSingleHalfWidthKana(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (IsLead(c)) {
            ++i;
        } else if (TPzConv::IsHanKana(c)) {
            return true;
        }
    }
    return false;
}

void CheckPlainRoundTrips(const TPzConv& conv, const std::string& text) {
    Check(conv.JisToSJis(conv.SJisToJis(text)) == text, "SJIS -> JIS -> SJIS");
    Check(conv.EucToSJis(conv.SJisToEuc(text)) == text, "SJIS -> EUC -> SJIS");
    const std::string word = conv.MIMEHeaderEncode(text);
    if (word != text) Check(conv.MIMEHeaderDecode(word) == text, "MIME word");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    TPzConv conv;
    if (size > 0) {
        conv.JisByteCodeType = (data[0] & 1) ? kumoya::btRoman : kumoya::btAscii;
        conv.JisKanaConvType = static_cast<kumoya::TJisKanaConvType>((data[0] >> 1) % 3);
    }

    // Every operation on the raw bytes: no crash, no read beyond the input.
    if (size >= 2) {
        (void)TPzConv::Jis_SJis(data[0], data[1]);
        (void)TPzConv::SJis_Jis(data[0], data[1]);
        (void)TPzConv::Hex2Int(data[0]);
        (void)TPzConv::B642Int(data[1]);
    }
    const std::string wide = conv.HanToZen(input);
    const std::string wide2 = conv.HanToZen2(input);
    Check(!HasSingleHalfWidthKana(wide) && !HasSingleHalfWidthKana(wide2), "no half-width kana left");
    Check(conv.HanToZen(wide) == wide, "widening twice");
    (void)conv.JisToSJis(input);
    (void)conv.SJisToJis(input);
    (void)conv.EucToSJis(input);
    (void)conv.SJisToEuc(input);
    (void)conv.MIMEHeaderEncode(input);
    (void)conv.MIMEHeaderDecode(input);
    (void)conv.B64Decode(input);
    (void)conv.WebDecode(input);

    Check(conv.B64Decode(conv.B64Encode(input)) == input, "Base64");
    Check(conv.WebDecode(conv.WebEncode(input)) == input, "URL-form encoding");

    if (IsPlainSjis(input)) CheckPlainRoundTrips(conv, input);
    CheckPlainRoundTrips(conv, MakePlainSjis(input));

    // Without the kana treatment, half-width kana survive EUC-JP as 0x8E pairs.
    if (IsPlainSjis(conv.HanToZen(input)) && conv.JisKanaConvType == kumoya::ktNone) {
        Check(conv.EucToSJis(conv.SJisToEuc(input)) == input, "SJIS with kana -> EUC -> SJIS");
    }
    return 0;
}
