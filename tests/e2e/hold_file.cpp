// hold_file FILE RELEASE: opens FILE for reading and writing with no sharing,
// as a backup or a scanner may, prints HELD, and keeps it open until the file
// RELEASE exists (at most 120 s). Exit 0 released, 1 FILE could not be opened.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: hold_file FILE RELEASE\n", stderr);
        return 2;
    }
    HANDLE held = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: CreateFileW error %lu\n", GetLastError());
        return 1;
    }
    std::puts("HELD");
    std::fflush(stdout);
    for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(held);
    std::puts("RELEASED");
    return 0;
}
