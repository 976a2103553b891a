#include "platform/icon.h"

#include <windows.h>

namespace kumoya::platform {

void Icon::Reset() {
    if (handle_) DestroyIcon(static_cast<HICON>(handle_));
    handle_ = nullptr;
    source_.clear();
    valid_ = false;
}

}  // namespace kumoya::platform
