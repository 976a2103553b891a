// recorder.exe: a stand-in for a program or document opener started by the
// launcher. Each start appends one JSON object (one line, UTF-8) to a log:
//
//   {"pid":N,"exe":"...","cmdline":"...","argv":["...",...],"cwd":"...","show":N|null}
//
// "cmdline" is the command line exactly as the process received it, "argv"
// the split done by CommandLineToArgvW, "show" the show-window value from the
// start-up information when the starter set one. The log is the file named
// by KUMOYA_RECORDER_LOG, else recorder.log beside this program. The line is
// written with a single WriteFile on a handle opened for appending, so
// instances started at the same moment never interleave their lines.
// Exit code 0 when the line was written, 2 when it could not be.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string ToUtf8(const wchar_t* text, int length) {
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  return ToUtf8(text.data(), static_cast<int>(text.size()));
}

// A JSON string literal: quotes, backslashes and control characters escaped,
// everything else kept as UTF-8.
std::string Json(const std::wstring& text) {
  const std::string utf8 = ToUtf8(text);
  std::string out = "\"";
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (b < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[b >> 4];
          out += kHex[b & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring CurrentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring dir(size, L'\0');
  const DWORD n = GetCurrentDirectoryW(size, dir.data());
  dir.resize(n < size ? n : 0);
  return dir;
}

std::wstring LogPath(const std::wstring& exe) {
  const DWORD size = GetEnvironmentVariableW(L"KUMOYA_RECORDER_LOG", nullptr, 0);
  if (size > 1) {
    std::wstring value(size, L'\0');
    const DWORD n = GetEnvironmentVariableW(L"KUMOYA_RECORDER_LOG", value.data(), size);
    if (n > 0 && n < size) {
      value.resize(n);
      return value;
    }
  }
  const size_t slash = exe.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1)) + L"recorder.log";
}

void Complain(const std::wstring& message) {
  const std::string text = ToUtf8(message) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int, wchar_t**) {
  const wchar_t* raw = GetCommandLineW();
  const std::wstring commandLine = raw ? raw : L"";
  const std::wstring exe = ModulePath();

  std::string line = "{\"pid\":" + std::to_string(GetCurrentProcessId());
  line += ",\"exe\":" + Json(exe);
  line += ",\"cmdline\":" + Json(commandLine);
  line += ",\"argv\":[";
  int count = 0;
  if (wchar_t** args = CommandLineToArgvW(commandLine.c_str(), &count)) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) line += ',';
      line += Json(args[i]);
    }
    LocalFree(args);
  }
  line += "],\"cwd\":" + Json(CurrentDirectory());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  line += ",\"show\":";
  line += (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : "null";
  line += "}\n";

  const std::wstring logPath = LogPath(exe);
  // Another instance may hold the file for the instant of its own write;
  // every opener shares read and write access, so this only retries on
  // transient failures (an antivirus scan, a slow network folder).
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 50; ++attempt) {
    file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    Sleep(20);
  }
  if (file == INVALID_HANDLE_VALUE) {
    Complain(L"recorder: cannot open the log " + logPath);
    return 2;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != line.size()) {
    Complain(L"recorder: cannot write the log " + logPath);
    return 2;
  }
  return 0;
}
