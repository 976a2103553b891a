#include <windows.h>

#include "crash/child_process.h"
#include "platform/socket.h"

namespace kumoya::crashtest {

struct ChildProcess::Native {
    HANDLE process = nullptr;
    HANDLE out = nullptr;  // read end of the child's standard output
};

namespace {

std::wstring Widen(const std::string& text) {
    // The test's paths and arguments are ASCII.
    return std::wstring(text.begin(), text.end());
}

// One argument as the C runtime splits a command line.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::string ErrorText(const char* call) { return std::string(call) + ": error " + std::to_string(GetLastError()); }

}  // namespace

std::string OwnProgram() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::string path;
    for (DWORD i = 0; i < n; ++i) path += static_cast<char>(buffer[i]);  // ASCII, as above
    return path;
}

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() {
    if (!native_) return;
    Kill();
    CloseHandle(native_->process);
    CloseHandle(native_->out);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16)) {
        error = ErrorText("CreatePipe");
        return false;
    }
    // Only the write end goes to the child.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring command;
    for (const auto& a : argv) command += (command.empty() ? L"" : L" ") + Quote(Widen(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring program = Widen(argv[0]);
    BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &si, &pi);
    DWORD startError = GetLastError();
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        error = "CreateProcessW " + argv[0] + ": error " + std::to_string(startError);
        return false;
    }
    CloseHandle(pi.hThread);
    native_ = std::make_unique<Native>();
    native_->process = pi.hProcess;
    native_->out = readEnd;
    buffer_.clear();
    ended_ = false;
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(int timeoutMs) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        std::size_t eol = buffer_.find('\n');
        if (eol != std::string::npos) {
            std::string line = buffer_.substr(0, eol);
            buffer_.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (ended_ || !native_) return std::nullopt;
        DWORD available = 0;
        if (!PeekNamedPipe(native_->out, nullptr, 0, nullptr, &available, nullptr)) {
            ended_ = true;  // broken pipe: every writer is gone
            continue;
        }
        if (available == 0) {
            if (platform::MonotonicMs() >= deadline) return std::nullopt;
            Sleep(2);
            continue;
        }
        char chunk[4096];
        DWORD n = 0;
        if (!ReadFile(native_->out, chunk, available < sizeof chunk ? available : sizeof chunk, &n, nullptr) ||
            n == 0) {
            ended_ = true;
            continue;
        }
        buffer_.append(chunk, n);
    }
}

void ChildProcess::Kill() {
    if (!native_) return;
    if (WaitForSingleObject(native_->process, 0) == WAIT_TIMEOUT) TerminateProcess(native_->process, 137);
    WaitForSingleObject(native_->process, 30000);
}

int ChildProcess::Wait(int timeoutMs) {
    if (!native_) return -1;
    if (WaitForSingleObject(native_->process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        Kill();
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(native_->process, &code);
    return static_cast<int>(code);
}

}  // namespace kumoya::crashtest
