// The program entry of Zelkova.exe: COM and OLE for the user-interface
// thread, and the wide command line, split the way Windows splits it, handed
// to the launcher in Shift_JIS.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "launcher/program.h"
#include "platform/win32/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        MessageBoxW(nullptr, L"コマンドラインを読み取れませんでした。", L"起動", MB_ICONERROR | MB_OK);
        return 1;
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        auto text = kumoya::platform::win32::FromWide(argv[i]);
        if (!text) {
            // A name that Shift_JIS cannot hold would reach the wrong file:
            // this argument is refused, the others are handled. It keeps its
            // place as an empty argument, so that "-VORWORK" never takes the
            // argument after it for its file.
            std::wstring message = L"次の引数には Shift_JIS で表せない文字が含まれているため、扱えません。\n\n";
            message += argv[i];
            MessageBoxW(nullptr, message.c_str(), L"起動", MB_ICONERROR | MB_OK);
            text = std::string();
        }
        args.push_back(*text);
    }
    LocalFree(argv);
    // COM for the whole user-interface thread, with OLE for dragging and
    // dropping: the shell's icons, shortcuts and the folder browser all need
    // it, on whichever path they are first used.
    const HRESULT ole = OleInitialize(nullptr);
    if (FAILED(ole)) {
        std::wstring message = L"OLE を初期化できませんでした (OleInitialize: 0x";
        wchar_t code[16];
        wsprintfW(code, L"%08lX", static_cast<unsigned long>(ole));
        message += code;
        message += L")。";
        MessageBoxW(nullptr, message.c_str(), L"起動", MB_ICONERROR | MB_OK);
        return 1;
    }
    const int result = kumoya::ProgramMain(std::move(args));
    OleUninitialize();
    return result;
}
