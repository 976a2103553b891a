#include "platform/icon.h"

namespace kumoya::platform {

void Icon::Reset() {
    handle_ = nullptr;
    source_.clear();
    valid_ = false;
}

Icon DefaultApplicationIcon() { return Icon(nullptr, "default-application"); }

}  // namespace kumoya::platform
