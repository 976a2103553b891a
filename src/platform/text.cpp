#include "platform/text.h"

#include <algorithm>

namespace kumoya::sjis {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::size_t LastDelimiter(std::string_view text, std::string_view delimiters) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;  // skip the trail byte, whatever it is
            continue;
        }
        if (delimiters.find(text[i]) != std::string_view::npos) found = i;
    }
    return found;
}

std::size_t LastSeparator(std::string_view path) { return LastDelimiter(path, "\\/"); }

std::string FileName(std::string_view path) {
    std::size_t at = LastDelimiter(path, "\\/:");
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string Extension(std::string_view path) {
    std::size_t at = LastDelimiter(path, ".\\/:");
    if (at == std::string_view::npos || path[at] != '.') return {};
    return std::string(path.substr(at));
}

std::string FolderWithSeparator(std::string_view path) {
    std::size_t at = LastDelimiter(path, "\\/:");
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string Parent(std::string_view path) {
    std::size_t at = LastDelimiter(path, "\\/:");
    if (at == std::string_view::npos) return {};
    if (path[at] == ':') return std::string(path.substr(0, at + 1));
    // Keep the backslash of a drive root: "C:\a" -> "C:\".
    if (at > 0 && path[at - 1] == ':') return std::string(path.substr(0, at + 1));
    return std::string(path.substr(0, at));
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    bool inDouble = false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (!inDouble) {
            if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
            if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        }
        if (x != y) return x < y ? -1 : 1;
        // Both strings agree up to here, so a lead byte is a lead byte in both.
        inDouble = !inDouble && IsLeadByte(x);
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareIgnoreCase(a, b) == 0;
}

std::size_t CharLength(std::string_view text, std::size_t pos) {
    return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

std::size_t Find(std::string_view text, std::string_view needle, std::size_t from) {
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (i >= from && text.substr(i, needle.size()) == needle) return i;
    }
    return std::string_view::npos;
}

std::string_view CutToBytes(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = 0;
    while (end < maxBytes) {
        std::size_t step = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + step > maxBytes) break;
        end += step;
    }
    return text.substr(0, end);
}

}  // namespace kumoya::sjis
