// Shared memory through page-file-backed file mappings; window messages with
// PostMessageW.
#include "platform/interprocess.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

class MappedBlock : public SharedMemory {
public:
    MappedBlock(HANDLE mapping, void* view, std::size_t size) : mapping_(mapping), view_(view), size_(size) {}
    ~MappedBlock() override {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;
    std::uint8_t* Data() override { return static_cast<std::uint8_t*>(view_); }
    std::size_t Size() const override { return size_; }

private:
    HANDLE mapping_;
    void* view_;
    std::size_t size_;
};

class Win32InterProcess : public InterProcess {
public:
    std::unique_ptr<SharedMemory> OpenSharedMemory(std::string_view name, std::size_t size) override {
        auto wName = win32::ToWide(name);
        if (!wName || size == 0) return nullptr;
        // Opens the existing block of that name or creates a new, zeroed one.
        HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(size), wName->c_str());
        if (!mapping) return nullptr;
        // A view larger than an existing, smaller block is refused here.
        void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
        if (!view) {
            CloseHandle(mapping);
            return nullptr;
        }
        MEMORY_BASIC_INFORMATION info = {};
        if (VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize < size) {
            UnmapViewOfFile(view);
            CloseHandle(mapping);
            return nullptr;
        }
        return std::make_unique<MappedBlock>(mapping, view, size);
    }

    bool PostWindowMessage(std::uint32_t window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override {
        if (window == 0) return false;  // PostMessage(0) would go to this thread's own queue
        // Window handles are 32-bit values shared by 32- and 64-bit programs,
        // widened with their sign.
        HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(window)));
        if (!IsWindow(hwnd)) return false;
        return PostMessageW(hwnd, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != 0;
    }

    void WaitBriefly(std::uint32_t milliseconds) override {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    }
};

}  // namespace

template <>
InterProcess& Service<InterProcess>::Default() {
    static Win32InterProcess service;
    return service;
}

}  // namespace kumoya::platform
