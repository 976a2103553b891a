#include "platform/win32/wide.h"

#include "platform/codec.h"

namespace kumoya::platform::win32 {

namespace {

std::optional<std::wstring> MultiToWide(UINT codePage, std::string_view bytes, DWORD flags) {
    if (bytes.empty()) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), size, out.data(), n) != n) return std::nullopt;
    return out;
}

// `exact`: refuse characters the code page cannot hold instead of writing
// the default character.
std::optional<std::string> WideToMulti(UINT codePage, std::wstring_view wide, bool exact) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    // UTF-8 takes neither the flag nor the out-parameter.
    const DWORD flags = exact && codePage != CP_UTF8 ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* used = exact && codePage != CP_UTF8 ? &usedDefault : nullptr;
    int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), n, nullptr, used) != n || usedDefault)
        return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::wstring> ToWide(std::string_view sjis, InvalidBytes invalid) {
    if (auto wide = MultiToWide(kCodePage, sjis, MB_ERR_INVALID_CHARS)) return wide;
    if (invalid == InvalidBytes::Refuse) return std::nullopt;
    return MultiToWide(kCodePage, sjis, 0).value_or(std::wstring());
}

std::optional<std::string> FromWide(std::wstring_view wide) { return WideToMulti(kCodePage, wide, true); }

std::string ErrorText(const char* call, DWORD error) {
    return std::string(call) + ": error " + std::to_string(error);
}

}  // namespace kumoya::platform::win32

namespace kumoya::platform {

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
    auto wide = win32::ToWide(sjis);
    if (!wide) return std::nullopt;
    return win32::WideToMulti(CP_UTF8, *wide, false);
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
    auto wide = win32::MultiToWide(CP_UTF8, utf8, MB_ERR_INVALID_CHARS);
    if (!wide) return std::nullopt;
    return win32::FromWide(*wide);
}

}  // namespace kumoya::platform
