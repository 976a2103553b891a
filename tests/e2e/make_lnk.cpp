// make_lnk LNKFILE TARGET [ARGUMENTS [WORKDIR]]: writes a shortcut through the
// system's own shell link object, so the launcher's reading is tried on a
// file it did not write.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 5) {
        std::fputs("usage: make_lnk LNKFILE TARGET [ARGUMENTS [WORKDIR]]\n", stderr);
        return 2;
    }
    if (FAILED(CoInitialize(nullptr))) return 1;
    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) hr = link->SetPath(argv[2]);
    if (SUCCEEDED(hr) && argc > 3) hr = link->SetArguments(argv[3]);
    if (SUCCEEDED(hr) && argc > 4) hr = link->SetWorkingDirectory(argv[4]);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) hr = file->Save(argv[1], TRUE);
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    if (FAILED(hr)) std::fprintf(stderr, "make_lnk: HRESULT 0x%08lx\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
