#include "platform/win32/wide.h"

#include "platform/codec.h"

namespace kumoya::platform::win32 {

std::optional<std::wstring> ToWide(std::string_view sjis) {
    if (sjis.empty()) return std::wstring();
    int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, sjis.data(), static_cast<int>(sjis.size()), out.data(), n);
    return out;
}

std::optional<std::string> FromWide(std::wstring_view wide) {
    if (wide.empty()) return std::string();
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return out;
}

std::string ErrorText(const char* call, DWORD error) {
    return std::string(call) + ": error " + std::to_string(error);
}

}  // namespace kumoya::platform::win32

namespace kumoya::platform {

std::optional<std::string> SjisToUtf8(std::string_view sjis) {
    auto wide = win32::ToWide(sjis);
    if (!wide) return std::nullopt;
    if (wide->empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide->data(), static_cast<int>(wide->size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide->data(), static_cast<int>(wide->size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::optional<std::string> Utf8ToSjis(std::string_view utf8) {
    if (utf8.empty()) return std::string();
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return win32::FromWide(wide);
}

}  // namespace kumoya::platform
