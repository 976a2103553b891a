#include "platform/icon.h"

#include <windows.h>

namespace kumoya::platform {

void Icon::Reset() {
    if (handle_) DestroyIcon(static_cast<HICON>(handle_));
    handle_ = nullptr;
    source_.clear();
    valid_ = false;
}

Icon DefaultApplicationIcon() {
    // LoadIcon hands out a shared icon that must not be destroyed; the copy
    // is ours.
    HICON shared = LoadIconW(nullptr, IDI_APPLICATION);
    HICON copy = shared ? CopyIcon(shared) : nullptr;
    return copy ? Icon(copy, "default-application") : Icon();
}

}  // namespace kumoya::platform
