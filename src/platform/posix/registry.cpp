#include "platform/registry.h"

namespace kumoya::platform {

// Linux has no registry; the program's entries live in memory for the run.
template <>
Registry& Service<Registry>::Default() {
    static MemoryRegistry registry;
    return registry;
}

}  // namespace kumoya::platform
