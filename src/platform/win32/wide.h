// Shift_JIS (code page 932) <-> UTF-16 at the edge of the wide Win32 APIs:
// the one converter of the Windows layer. Code page 932 explicitly, never
// CP_ACP, so the program behaves the same on a Windows of any locale.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kumoya::platform::win32 {

constexpr UINT kCodePage = 932;

// What to do with bytes that are not valid Shift_JIS: refuse the text (names
// handed to the system), or show them as replacement characters (text on
// screen, which should never vanish).
enum class InvalidBytes { Refuse, Replace };

// nullopt when the bytes are not valid Shift_JIS and `invalid` is Refuse;
// with Replace there is always a value.
std::optional<std::wstring> ToWide(std::string_view sjis, InvalidBytes invalid = InvalidBytes::Refuse);
// nullopt when the text has characters without a Shift_JIS form.
std::optional<std::string> FromWide(std::wstring_view wide);

// "Name: error N" for GetLastError() or a given code.
std::string ErrorText(const char* call, DWORD error = GetLastError());

}  // namespace kumoya::platform::win32
