// Linux has no windows for us: the form framework runs on its model alone.
#include "platform/ui/backend.h"
#include "platform/ui/headless.h"

namespace kumoya::platform {

template <>
ui::UiBackend& Service<ui::UiBackend>::Default() {
    static ui::HeadlessBackend backend;
    return backend;
}

}  // namespace kumoya::platform
