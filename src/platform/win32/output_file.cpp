#include "platform/output_file.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace kumoya::platform {

struct OutputFile::Native {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring temp;
    std::wstring target;
};

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { Discard(); }

std::string OutputFile::TemporaryName(std::string_view target) { return std::string(target) + ".part"; }

bool OutputFile::Open(std::string_view target) {
    Discard();
    auto wide = win32::ToWide(target);
    if (!wide) {
        error_ = "path is not Shift_JIS text";
        return false;
    }
    auto native = std::make_unique<Native>();
    native->target = *wide;
    native->temp = *wide + L".part";
    native->file = ::CreateFileW(native->temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (native->file == INVALID_HANDLE_VALUE) {
        error_ = win32::ErrorText("CreateFileW");
        return false;
    }
    native_ = std::move(native);
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!native_) {
        error_ = "write: no file open";
        return false;
    }
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(native_->file, p, chunk, &written, nullptr) || written == 0) {
            error_ = win32::ErrorText("WriteFile");
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

bool OutputFile::Commit() {
    if (!native_) {
        error_ = "commit: no file open";
        return false;
    }
    HANDLE file = native_->file;
    native_->file = INVALID_HANDLE_VALUE;
    // The bytes reach the disk before the name does (the move is written
    // through): after a power cut the target is the old file or the new one.
    if (!::FlushFileBuffers(file)) {
        error_ = win32::ErrorText("FlushFileBuffers");
        ::CloseHandle(file);
        Discard();
        return false;
    }
    if (!::CloseHandle(file)) {
        error_ = win32::ErrorText("CloseHandle");
        Discard();
        return false;
    }
    if (!::MoveFileExW(native_->temp.c_str(), native_->target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error_ = win32::ErrorText("MoveFileExW");
        Discard();
        return false;
    }
    native_.reset();
    return true;
}

void OutputFile::Discard() {
    if (!native_) return;
    if (native_->file != INVALID_HANDLE_VALUE) ::CloseHandle(native_->file);
    ::DeleteFileW(native_->temp.c_str());
    native_.reset();
}

}  // namespace kumoya::platform
