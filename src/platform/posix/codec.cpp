#include "platform/codec.h"

#include <iconv.h>

#include <algorithm>

namespace kumoya::platform {
namespace {

// One open converter per direction and thread: opening one loads the
// character tables, which costs far more than converting a file name.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> operator()(std::string_view in) {
        if (!valid()) return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        std::string out(in.size() * 4 + 8, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        bool ok = rc != static_cast<size_t>(-1) && srcLeft == 0;
        if (ok && iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) ok = false;
        if (!ok) return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

// Plain ASCII is the same in both (CP932 keeps 0x5C and 0x7E as they are),
// and most file names are: they are given back as they are.
bool IsAscii(std::string_view in) {
    return std::all_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// CP932 rather than SHIFT_JIS: it is Windows' code page (0x5C is the yen sign
// in SHIFT_JIS but a backslash here, and the NEC/IBM rows exist).
std::optional<std::string> SjisToUtf8(std::string_view sjis) {
    if (IsAscii(sjis)) return std::string(sjis);
    thread_local Converter convert("UTF-8", "CP932");
    return convert(sjis);
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    thread_local Converter convert("CP932", "UTF-8");
    return convert(utf8);
}

}  // namespace kumoya::platform
