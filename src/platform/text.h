// Shift_JIS-aware text and path helpers. Pure byte logic: every split, cut and
// case fold of text that may hold double-byte characters goes through here,
// because a Shift_JIS trail byte can be 0x5C ('\') or an ASCII letter.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kumoya::sjis {

// True for bytes that start a double-byte character (0x81-0x9F, 0xE0-0xFC).
bool IsLeadByte(unsigned char c);

// Position of the last character of `text` that is one of `delimiters`
// (single-byte characters only), or npos. Trail bytes never match.
std::size_t LastDelimiter(std::string_view text, std::string_view delimiters);

// Position of the last path separator ('\\' or '/'), or npos.
std::size_t LastSeparator(std::string_view path);

// The last component: everything after the last separator or drive colon.
std::string FileName(std::string_view path);

// The extension of the last component with its dot ("C:\a.b\c" has none), or "".
std::string Extension(std::string_view path);

// Everything up to and including the last separator or drive colon ("" if none).
std::string FolderWithSeparator(std::string_view path);

// The parent folder without a trailing separator, except that a drive root
// keeps its backslash ("C:\a" gives "C:\", "C:\a\b" gives "C:\a").
std::string Parent(std::string_view path);

// Upper-cases ASCII letters outside double-byte characters.
std::string UpperAscii(std::string_view text);

// Case-insensitive comparison of ASCII letters, double-byte characters compared
// byte for byte. Returns <0, 0, >0 like strcmp (bytes as unsigned).
int CompareIgnoreCase(std::string_view a, std::string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Position of the first occurrence of `needle` in `text` at or after `from`
// that starts on a character (never inside a double-byte one), or npos.
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from = 0);

// The number of bytes of the character that starts at `pos` (1 or 2; 1 for a
// lead byte at the very end).
std::size_t CharLength(std::string_view text, std::size_t pos);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// in the middle of a double-byte character.
std::string_view CutToBytes(std::string_view text, std::size_t maxBytes);

}  // namespace kumoya::sjis
