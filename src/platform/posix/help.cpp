// There is no WinHelp viewer on Linux: the HTML help opens in the browser.
#include "platform/help.h"

namespace kumoya::platform {
namespace {

class HtmlHelp : public Help {
public:
    bool Open(std::string_view file, unsigned command, std::uintptr_t data) override {
        return OpenHtmlHelp(file, command, data);
    }
};

}  // namespace

template <>
Help& Service<Help>::Default() {
    static HtmlHelp help;
    return help;
}

}  // namespace kumoya::platform
