// There is no WinHelp viewer on Linux: every request is declined.
#include "platform/help.h"

namespace kumoya::platform {
namespace {

class NoHelp : public Help {
public:
    bool Open(std::string_view, unsigned, std::uintptr_t) override { return false; }
};

}  // namespace

template <>
Help& Service<Help>::Default() {
    static NoHelp help;
    return help;
}

}  // namespace kumoya::platform
