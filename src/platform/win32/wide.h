// Shift_JIS (code page 932) <-> UTF-16 at the edge of the wide Win32 APIs.
// Code page 932 explicitly, never CP_ACP, so the program behaves the same on
// a Windows of any locale.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kumoya::platform::win32 {

constexpr UINT kCodePage = 932;

// nullopt when the bytes are not valid Shift_JIS.
std::optional<std::wstring> ToWide(std::string_view sjis);
// nullopt when the text has characters without a Shift_JIS form.
std::optional<std::string> FromWide(std::wstring_view wide);

// "Name: error N" for GetLastError() or a given code.
std::string ErrorText(const char* call, DWORD error = GetLastError());

}  // namespace kumoya::platform::win32
