#include "textconv/pzconv.h"

#include <cstddef>

namespace kumoya {

namespace {

using uchar = unsigned char;

// "\x1B$B" opens a JIS X 0208 run; "\x1B(B" (ASCII) and "\x1B(J" (JIS Roman)
// close it.
constexpr char kEscKanji[] = "\x1B$B";
constexpr char kEscAscii[] = "\x1B(B";
constexpr char kEscRoman[] = "\x1B(J";
constexpr std::string_view kMimePrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view kMimeSuffix = "?=";

constexpr uchar kVoicedMark = 0xDE;      // half-width ゛
constexpr uchar kSemiVoicedMark = 0xDF;  // half-width ゜

inline uchar At(std::string_view s, std::size_t i) { return static_cast<uchar>(s[i]); }

inline bool IsLead(uchar c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The row/cell arithmetic of JIS X 0208 against Shift_JIS, on bytes
// (modulo 256), without the range check of Jis_SJis.
inline void JisPairToSjis(uchar c1, uchar c2, uchar& s1, uchar& s2) {
    if (c1 & 1) {
        s2 = static_cast<uchar>(c2 + 0x1F + (c2 >= 0x60 ? 1 : 0));
    } else {
        s2 = static_cast<uchar>(c2 + 0x7E);
    }
    s1 = static_cast<uchar>(((c1 + 1) >> 1) + (c1 > 0x5E ? 0xB0 : 0x70));
}

inline void SjisPairToJis(uchar s1, uchar s2, uchar& c1, uchar& c2) {
    const int t = s1 >= 0xA0 ? 0xB0 : 0x70;
    c1 = static_cast<uchar>(2 * s1 - 2 * t - (s2 <= 0x9E ? 1 : 0));
    if (s2 < 0x7F) {
        c2 = static_cast<uchar>(s2 - 0x1F);
    } else if (s2 < 0x9F) {
        c2 = static_cast<uchar>(s2 - 0x20);
    } else {
        c2 = static_cast<uchar>(s2 - 0x7E);
    }
}

inline void Put(std::string& out, uchar c) { out.push_back(static_cast<char>(c)); }

// Widens the half-width kana byte at s[i] to its full-width pair. With
// `merge`, a following voicing or semi-voicing mark that the kana takes is
// folded into it. Answers the number of input bytes used (1 or 2).
std::size_t WidenKana(std::string_view s, std::size_t i, bool merge, uchar& hi, uchar& lo) {
    const uchar kana = At(s, i);
    const std::uint16_t code = TPzConv::CODE_TABLE[kana - 0xA1];
    hi = static_cast<uchar>(code >> 8);
    lo = static_cast<uchar>(code & 0xFF);
    if (!merge || i + 1 >= s.size()) return 1;
    const uchar next = At(s, i + 1);
    if (next == kVoicedMark && TPzConv::IsDakuten(kana)) {
        if ((lo >= 0x4A && lo <= 0x67) || (lo >= 0x6E && lo <= 0x7A)) {
            lo += 1;  // カ→ガ ... ト→ド, ハ→バ ... ホ→ボ
            return 2;
        }
        if (hi == 0x83 && lo == 0x45) {
            lo = 0x94;  // ウ→ヴ
            return 2;
        }
    } else if (next == kSemiVoicedMark && TPzConv::IsHanDakuten(kana) && lo >= 0x6E && lo <= 0x7A) {
        lo += 2;  // ハ→パ ... ホ→ポ
        return 2;
    }
    return 1;
}

}  // namespace

// JIS X 0201 order: 。「」、・ヲァィゥェォャュョッー アイウエオ カ... ン ゛゜
const std::uint16_t TPzConv::CODE_TABLE[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,  // A1-A8
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,  // A9-B0
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,  // B1-B8
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,  // B9-C0
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,  // C1-C8
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,  // C9-D0
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,  // D1-D8
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,          // D9-DF
};

// ---------------------------------------------------------------------------
// Byte and character operations

std::string TPzConv::Jis_SJis(unsigned char c1, unsigned char c2) {
    if (c1 <= 0x20 || c1 > 0x7E) return {};
    uchar s1 = 0, s2 = 0;
    JisPairToSjis(c1, c2, s1, s2);
    return {static_cast<char>(s1), static_cast<char>(s2)};
}

std::string TPzConv::SJis_Jis(unsigned char c1, unsigned char c2) {
    uchar j1 = 0, j2 = 0;
    SjisPairToJis(c1, c2, j1, j2);
    return {static_cast<char>(j1), static_cast<char>(j2)};
}

bool TPzConv::IsHanKana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

bool TPzConv::IsDakuten(unsigned char b) {
    return b == 0xB3 || (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
}

bool TPzConv::IsHanDakuten(unsigned char b) { return b >= 0xCA && b <= 0xCE; }

bool TPzConv::IsEuc(unsigned char b) { return b >= 0xA1 && b != 0xFF; }

int TPzConv::Hex2Int(unsigned char b) {
    if (b >= '0' && b <= '9') return b - '0';
    if (b >= 'a' && b <= 'f') return b - 'a' + 10;
    if (b >= 'A' && b <= 'F') return b - 'A' + 10;
    return 0;
}

std::string TPzConv::Int2Hex(unsigned char b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[b >> 4], kDigits[b & 0x0F]};
}

char TPzConv::Int2B64(unsigned v) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return v < 64 ? kAlphabet[v] : '=';
}

int TPzConv::B642Int(unsigned char ch) {
    if (ch >= 'A' && ch <= 'Z') return ch - 'A';
    if (ch >= 'a' && ch <= 'z') return ch - 'a' + 26;
    if (ch >= '0' && ch <= '9') return ch - '0' + 52;
    if (ch == '+') return 62;
    if (ch == '/') return 63;
    return 64;
}

// ---------------------------------------------------------------------------
// Half-width kana

// Widens every half-width kana; `joinMarks` folds a following voiced or
// semi-voiced sound mark into the kana (HanToZen) or widens it on its own
// (HanToZen2).
static std::string WidenAllKana(std::string_view s, bool joinMarks) {
    std::string out;
    out.reserve(s.size() * 2);
    for (std::size_t i = 0; i < s.size();) {
        const uchar c = At(s, i);
        if (IsLead(c)) {
            // Copied as a pair; a lead byte cut off at the end is copied alone.
            out.append(s.substr(i, 2));
            i += 2;
        } else if (TPzConv::IsHanKana(c)) {
            uchar hi = 0, lo = 0;
            i += WidenKana(s, i, joinMarks, hi, lo);
            Put(out, hi);
            Put(out, lo);
        } else {
            Put(out, c);
            ++i;
        }
    }
    return out;
}

std::string TPzConv::HanToZen(std::string_view s) const { return WidenAllKana(s, true); }

std::string TPzConv::HanToZen2(std::string_view s) const { return WidenAllKana(s, false); }

std::string TPzConv::ApplyKanaConv(std::string_view s) const {
    switch (JisKanaConvType) {
        case ktZenWithDaku: return HanToZen(s);
        case ktZenSepaDaku: return HanToZen2(s);
        case ktNone: break;
    }
    return std::string(s);
}

// ---------------------------------------------------------------------------
// JIS and EUC
//
// The kana treatment is done in the same pass as the conversion: widening
// only ever produces complete double-byte characters, so converting the
// widened pair on the spot gives the same bytes as widening the whole string
// first.
//
// Incomplete input: a Shift_JIS lead byte at the very end, a JIS double-byte
// byte or an EUC byte without its partner at the very end is not a character
// of the target encoding and is dropped. An escape sequence cut short, or one
// we do not know, passes as ordinary bytes. Shift_JIS bytes that start no
// character (0x80, 0xA0, 0xFD-0xFF) are single bytes and copied as they are.

std::string TPzConv::SJisToJis(std::string_view s) const {
    const bool widen = JisKanaConvType != ktNone;
    const bool merge = JisKanaConvType == ktZenWithDaku;
    const char* close = JisByteCodeType == btRoman ? kEscRoman : kEscAscii;
    std::string out;
    out.reserve(s.size() + s.size() / 8 + 16);
    bool kanji = false;
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const uchar c = At(s, i);
        uchar s1 = 0, s2 = 0;
        if (IsLead(c)) {
            if (i + 1 >= n) break;
            s1 = c;
            s2 = At(s, i + 1);
            i += 2;
        } else if (widen && IsHanKana(c)) {
            i += WidenKana(s, i, merge, s1, s2);
        } else {
            if (kanji) {
                out.append(close, 3);
                kanji = false;
            }
            Put(out, c);
            ++i;
            continue;
        }
        if (!kanji) {
            out.append(kEscKanji, 3);
            kanji = true;
        }
        uchar j1 = 0, j2 = 0;
        SjisPairToJis(s1, s2, j1, j2);
        const char pair[2] = {static_cast<char>(j1), static_cast<char>(j2)};
        out.append(pair, 2);
    }
    if (kanji) out.append(close, 3);
    return out;
}

std::string TPzConv::JisToSJis(std::string_view s) const {
    std::string out;
    out.reserve(s.size());
    bool kanji = false;
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const uchar c = At(s, i);
        if (c == 0x1B && i + 2 < n) {
            const std::string_view esc = s.substr(i, 3);
            if (esc == kEscKanji) {
                kanji = true;
                i += 3;
                continue;
            }
            if (esc == kEscAscii || esc == kEscRoman) {
                kanji = false;
                i += 3;
                continue;
            }
        }
        if (!kanji) {
            Put(out, c);
            ++i;
            continue;
        }
        if (i + 1 >= n) break;  // half a character at the end
        const uchar c2 = At(s, i + 1);
        i += 2;
        // Bytes outside the JIS X 0208 rows (a stray control byte, say) give
        // nothing, as Jis_SJis does.
        if (c <= 0x20 || c > 0x7E) continue;
        uchar s1 = 0, s2 = 0;
        JisPairToSjis(c, c2, s1, s2);
        const char pair[2] = {static_cast<char>(s1), static_cast<char>(s2)};
        out.append(pair, 2);
    }
    return out;
}

std::string TPzConv::EucToSJis(std::string_view s) const {
    std::string out;
    out.reserve(s.size());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const uchar c = At(s, i);
        if (IsEuc(c)) {
            if (i + 1 >= n) break;  // half a character at the end
            uchar s1 = 0, s2 = 0;
            // c - 0x80 is always 0x21-0x7E here, so no pair is refused.
            JisPairToSjis(static_cast<uchar>(c - 0x80), static_cast<uchar>(At(s, i + 1) - 0x80), s1, s2);
            const char pair[2] = {static_cast<char>(s1), static_cast<char>(s2)};
            out.append(pair, 2);
            i += 2;
        } else if (c == 0x8E && i + 1 < n && IsHanKana(At(s, i + 1))) {
            Put(out, At(s, i + 1));
            i += 2;
        } else {
            Put(out, c);
            ++i;
        }
    }
    return out;
}

std::string TPzConv::SJisToEuc(std::string_view s) const {
    const bool widen = JisKanaConvType != ktNone;
    const bool merge = JisKanaConvType == ktZenWithDaku;
    std::string out;
    out.reserve(s.size() + s.size() / 8 + 16);
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const uchar c = At(s, i);
        uchar s1 = 0, s2 = 0;
        if (IsLead(c)) {
            if (i + 1 >= n) break;
            s1 = c;
            s2 = At(s, i + 1);
            i += 2;
        } else if (IsHanKana(c)) {
            if (!widen) {
                const char pair[2] = {'\x8E', static_cast<char>(c)};
                out.append(pair, 2);
                ++i;
                continue;
            }
            i += WidenKana(s, i, merge, s1, s2);
        } else {
            Put(out, c);
            ++i;
            continue;
        }
        uchar j1 = 0, j2 = 0;
        SjisPairToJis(s1, s2, j1, j2);
        const char pair[2] = {static_cast<char>(j1 + 0x80), static_cast<char>(j2 + 0x80)};
        out.append(pair, 2);
    }
    return out;
}

// ---------------------------------------------------------------------------
// URL-form encoding
//
// Letters, digits and "*-._" stand for themselves, a space becomes "+", and
// every other byte is escaped as "%" and two lower-case hex digits. Escaping
// "%", "+", "&", "=" and the other reserved bytes is what lets WebDecode give
// back exactly what was encoded, and keeps a value from splitting a form
// into extra fields.

namespace {
bool StandsForItself(uchar c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' || c == '-' ||
           c == '.' || c == '_';
}
}  // namespace

std::string TPzConv::WebEncode(std::string_view s) const {
    std::string out;
    out.reserve(s.size() * 3);
    for (const char ch : s) {
        const uchar c = static_cast<uchar>(ch);
        if (c == ' ') {
            out.push_back('+');
        } else if (StandsForItself(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out += Int2Hex(c);
        }
    }
    return out;
}

// A literal "+" is a space; an escaped one ("%2B") is a plus sign, as the
// form encoding means it. A "%" without two bytes after it is kept as it is;
// non-hex digits after "%" count as 0, as Hex2Int has them.
std::string TPzConv::WebDecode(std::string_view s) const {
    std::string out;
    out.reserve(s.size());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const char ch = s[i];
        if (ch == '%' && i + 2 < n) {
            out.push_back(static_cast<char>(Hex2Int(At(s, i + 1)) * 16 + Hex2Int(At(s, i + 2))));
            i += 3;
        } else {
            out.push_back(ch == '+' ? ' ' : ch);
            ++i;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Base64

std::string TPzConv::B64Encode(std::string_view s) const {
    std::string out;
    out.reserve((s.size() + 2) / 3 * 4);
    const std::size_t n = s.size();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned v = (At(s, i) << 16) | (At(s, i + 1) << 8) | At(s, i + 2);
        const char group[4] = {Int2B64(v >> 18), Int2B64((v >> 12) & 0x3F), Int2B64((v >> 6) & 0x3F),
                               Int2B64(v & 0x3F)};
        out.append(group, 4);
    }
    if (n - i == 1) {
        const unsigned v = At(s, i) << 16;
        const char group[4] = {Int2B64(v >> 18), Int2B64((v >> 12) & 0x3F), '=', '='};
        out.append(group, 4);
    } else if (n - i == 2) {
        const unsigned v = (At(s, i) << 16) | (At(s, i + 1) << 8);
        const char group[4] = {Int2B64(v >> 18), Int2B64((v >> 12) & 0x3F), Int2B64((v >> 6) & 0x3F), '='};
        out.append(group, 4);
    }
    return out;
}

// Groups of four characters; a character outside the alphabet ("=" or any
// other) carries no bits. The first byte of a group is always written, the
// second when the third character is data, the third when the third and the
// fourth are: so the "=" filler yields nothing while zero bytes of the data
// are kept. An unfinished last group is dropped.
std::string TPzConv::B64Decode(std::string_view s) const {
    std::string out;
    out.reserve(s.size() / 4 * 3);
    int v[4] = {0, 0, 0, 0};
    int k = 0;
    for (const char ch : s) {
        v[k++] = B642Int(static_cast<uchar>(ch));
        if (k < 4) continue;
        k = 0;
        unsigned bits[4];
        for (int j = 0; j < 4; ++j) bits[j] = v[j] < 64 ? static_cast<unsigned>(v[j]) : 0;
        const unsigned w = (bits[0] << 18) | (bits[1] << 12) | (bits[2] << 6) | bits[3];
        out.push_back(static_cast<char>(w >> 16));
        if (v[2] < 64) {
            out.push_back(static_cast<char>((w >> 8) & 0xFF));
            if (v[3] < 64) out.push_back(static_cast<char>(w & 0xFF));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// MIME encoded words

namespace {
// True when `s` holds at least one complete double-byte character.
bool HasDoubleByte(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsLead(At(s, i))) {
            if (i + 1 < s.size()) return true;
            break;
        }
    }
    return false;
}

bool StartsWithMimePrefix(std::string_view s, std::size_t i) {
    if (s.size() - i < kMimePrefix.size()) return false;
    for (std::size_t j = 0; j < kMimePrefix.size(); ++j) {
        char c = s[i + j];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kMimePrefix[j]) return false;
    }
    return true;
}
}  // namespace

// The whole string becomes one encoded word, without folding; text without a
// double-byte character (half-width kana alone do not count) is left as it is.
std::string TPzConv::MIMEHeaderEncode(std::string_view s) const {
    if (s.empty()) return {};
    if (!HasDoubleByte(s)) return std::string(s);
    // SJisToJis applies the kana treatment itself.
    std::string out(kMimePrefix);
    out += B64Encode(SJisToJis(s));
    out += kMimeSuffix;
    return out;
}

// The byte right after a closing "?=" is always plain text, and a "?=" in
// plain text is dropped. An encoded word that is never closed is not decoded:
// it is kept as it stands, from its opening "=?ISO-2022-JP?B?" to the end.
std::string TPzConv::MIMEHeaderDecode(std::string_view s) const {
    std::string out;
    out.reserve(s.size());
    std::string buffer;
    bool inside = false;
    std::size_t wordStart = 0;
    const auto flush = [&] {
        if (buffer.empty()) return;
        out += JisToSJis(B64Decode(buffer));
        buffer.clear();
    };
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        if (StartsWithMimePrefix(s, i)) {
            if (!inside) wordStart = i;
            inside = true;
            i += kMimePrefix.size();
        } else if (s.substr(i, 2) == kMimeSuffix) {
            inside = false;
            i += kMimeSuffix.size();
        }
        if (i >= n) break;
        if (inside) {
            buffer.push_back(s[i]);
        } else {
            flush();
            out.push_back(s[i]);
        }
        ++i;
    }
    if (inside) {
        out.append(s.substr(wordStart));
    } else {
        flush();
    }
    return out;
}

}  // namespace kumoya
