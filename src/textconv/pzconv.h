// Japanese text conversion between Shift_JIS (our own text encoding), 7-bit
// JIS (ISO-2022-JP) and EUC-JP, widening of half-width katakana, Base64, MIME
// encoded words and URL-form encoding.
//
// Every operation is a pure function of its bytes and the two settings; no
// operation reads outside its input, whatever the input holds. The role of a
// byte (single, lead, trail) is decided by scanning from the start of the
// string: a lead byte takes the byte after it as its trail, whatever it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kumoya {

// The escape that ends a double-byte run in JIS output.
enum TJisByteCodeType {
    btAscii = 0,  // ESC ( B
    btRoman = 1,  // ESC ( J
};

// What happens to half-width katakana before JIS or EUC output.
enum TJisKanaConvType {
    ktNone = 0,         // left as they are
    ktZenWithDaku = 1,  // HanToZen: widened, voicing marks merged
    ktZenSepaDaku = 2,  // HanToZen2: widened, voicing marks kept apart
};

class TPzConv {
public:
    TJisByteCodeType JisByteCodeType = btAscii;
    TJisKanaConvType JisKanaConvType = ktZenWithDaku;

    // Full-width Shift_JIS code for each half-width katakana byte 0xA1-0xDF
    // (entry i belongs to byte 0xA1 + i), high byte first.
    static const std::uint16_t CODE_TABLE[63];

    // --- byte and character operations ---

    // JIS X 0208 row/cell bytes to a two-byte Shift_JIS string; empty when c1
    // is outside 0x21-0x7E.
    static std::string Jis_SJis(unsigned char c1, unsigned char c2);
    // Shift_JIS lead and trail byte to a two-byte JIS string (no range check).
    static std::string SJis_Jis(unsigned char c1, unsigned char c2);
    static bool IsHanKana(unsigned char b);     // 0xA1-0xDF
    static bool IsDakuten(unsigned char b);     // half-width kana that take the voicing mark
    static bool IsHanDakuten(unsigned char b);  // half-width kana that take the semi-voicing mark
    static bool IsEuc(unsigned char b);         // >= 0xA1 and not 0xFF
    static int Hex2Int(unsigned char b);        // hex digit value; any other byte gives 0
    static std::string Int2Hex(unsigned char b);  // two lower-case hex digits
    static char Int2B64(unsigned v);            // Base64 alphabet; v >= 64 gives '='
    static int B642Int(unsigned char ch);       // inverse; outside the alphabet gives 64

    // --- string operations ---

    std::string HanToZen(std::string_view s) const;
    std::string HanToZen2(std::string_view s) const;
    std::string JisToSJis(std::string_view s) const;
    std::string SJisToJis(std::string_view s) const;
    std::string EucToSJis(std::string_view s) const;
    std::string SJisToEuc(std::string_view s) const;
    std::string WebEncode(std::string_view s) const;
    std::string WebDecode(std::string_view s) const;
    std::string B64Encode(std::string_view s) const;
    std::string B64Decode(std::string_view s) const;
    std::string MIMEHeaderEncode(std::string_view s) const;
    std::string MIMEHeaderDecode(std::string_view s) const;

private:
    // The half-width kana treatment chosen by JisKanaConvType.
    std::string ApplyKanaConv(std::string_view s) const;
};

}  // namespace kumoya
