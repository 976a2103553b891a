// An owned icon. On Windows it holds an HICON (destroyed with the object); the
// Linux build has no icons, so there it only remembers where the icon came
// from, which lets tests tell the icons of different files apart.
#pragma once

#include <string>
#include <utility>

namespace kumoya::platform {

class Icon {
public:
    Icon() = default;
    // Takes ownership of a native icon handle (HICON on Windows; may be null
    // on Linux, where `source` alone makes the icon non-empty).
    Icon(void* nativeHandle, std::string source) : handle_(nativeHandle), source_(std::move(source)), valid_(true) {}
    ~Icon() { Reset(); }
    Icon(Icon&& other) noexcept { *this = std::move(other); }
    Icon& operator=(Icon&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
            source_ = std::move(other.source_);
            valid_ = std::exchange(other.valid_, false);
        }
        return *this;
    }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;

    bool Empty() const { return !valid_; }
    void* NativeHandle() const { return handle_; }
    const std::string& Source() const { return source_; }  // e.g. "C:\Tools\edit.exe,0"
    void Reset();

private:
    void* handle_ = nullptr;
    std::string source_;
    bool valid_ = false;
};

// The system's picture for a program that has no icon of its own.
Icon DefaultApplicationIcon();

}  // namespace kumoya::platform
