#include "platform/codec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace kumoya::platform {
namespace {

// CP932 rather than SHIFT_JIS: it is Windows' code page (0x5C is the yen sign
// in SHIFT_JIS but a backslash here, and the NEC/IBM rows exist).
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
    // Plain ASCII is the same in both (CP932 keeps 0x5C and 0x7E as they
    // are), and most file names are: no converter needs opening for them.
    if (std::all_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(in);
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 4 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    bool ok = rc != static_cast<size_t>(-1) && srcLeft == 0;
    if (ok && iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) ok = false;
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace

std::optional<std::string> SjisToUtf8(std::string_view sjis) { return Convert("UTF-8", "CP932", sjis); }
std::optional<std::string> Utf8ToSjis(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8); }

}  // namespace kumoya::platform
