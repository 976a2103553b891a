// Stands in for the sticky-note program that the launcher registers with: it
// publishes the shared block "Mirun" (520 bytes) with its window and a
// version text, answers each message 0x591 by setting the command word back
// to 0, and appends one line per message to a log:
//
//   COMMAND<TAB>WINDOW<TAB>TEXT<TAB>DATA
//
// WINDOW is the 32-bit value at offset 0 in hex, TEXT the text area up to its
// first zero byte and DATA the first 32 bytes of the data area, both in hex.
//
//   mirun_standin VERSION LOG [--silent] [--no-terminator] [--exit-after-publish]
//
// --silent never answers; --no-terminator fills the whole text area with the
// version followed by "0"s and no zero byte; --exit-after-publish leaves as
// soon as the block is written (a holder of the block keeps it alive). The
// program ends after the closing command 0, or after 30 seconds whatever
// happens. Exit 0, or 2 for a usage error or a block it cannot create. Once
// the block is ready, "published" goes to the standard output.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT kMessage = WM_USER + 401;
constexpr DWORD kSize = 520;

std::uint8_t* block = nullptr;
FILE* logFile = nullptr;
bool silent = false;

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMessage) {
        LONG command = InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(block + 4), 0, 0);
        std::uint32_t owner;
        std::memcpy(&owner, block, 4);
        std::size_t textLength = 0;
        while (textLength < 256 && block[8 + textLength]) ++textLength;
        std::fprintf(logFile, "%ld\t%08x\t%s\t%s\n", static_cast<long>(command), owner, Hex(block + 8, textLength).c_str(),
                     Hex(block + 264, 32).c_str());
        std::fflush(logFile);
        if (command == 0) {
            PostQuitMessage(0);
        } else if (!silent) {
            InterlockedExchange(reinterpret_cast<volatile LONG*>(block + 4), 0);
        }
        return 0;
    }
    if (message == WM_TIMER) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mirun_standin VERSION LOG [--silent] [--no-terminator] [--exit-after-publish]\n");
        return 2;
    }
    bool noTerminator = false, exitAfterPublish = false;
    for (int i = 3; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--silent") silent = true;
        else if (a == L"--no-terminator") noTerminator = true;
        else if (a == L"--exit-after-publish") exitAfterPublish = true;
        else return 2;
    }
    char version[256] = {};
    WideCharToMultiByte(CP_ACP, 0, argv[1], -1, version, sizeof version - 1, nullptr, nullptr);
    logFile = _wfopen(argv[2], L"ab");
    if (!logFile) return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KumoyaMirunStandIn";
    RegisterClassW(&wc);
    // A message-only window: it takes posted messages and needs no display.
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Mirun stand-in", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return 2;

    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, L"Mirun");
    if (!mapping) return 2;
    block = static_cast<std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kSize));
    if (!block) return 2;

    // The text first, the window and the idle command word last: a reader
    // that sees the block ready sees all of it.
    std::memset(block + 8, 0, 256);
    std::size_t n = std::strlen(version);
    std::memcpy(block + 8, version, n);
    if (noTerminator) std::memset(block + 8 + n, '0', 256 - n);
    auto owner = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    std::memcpy(block, &owner, 4);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(block + 4), 0);
    if (exitAfterPublish) {
        DestroyWindow(window);
        std::fprintf(logFile, "published\n");
        std::fclose(logFile);
        return 0;
    }

    // Scripts wait for this line on the standard output before they go on.
    std::printf("published\n");
    std::fflush(stdout);
    SetTimer(window, 1, 30000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    UnmapViewOfFile(block);
    CloseHandle(mapping);
    std::fclose(logFile);
    return 0;
}
