// Linux has no shell link object: shortcut files are written and read with
// our own codec of the format, so the same files go both ways.
#include "platform/shelllink.h"

#include "platform/files.h"
#include "platform/lnk_format.h"

namespace kumoya::platform {
namespace {

constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005u);  // E_FAIL's value

class FormatShellLinks : public ShellLinks {
public:
    std::int32_t Save(std::string_view file, const ShellLinkParts& parts) override {
        lnk::Link link{parts.target, parts.workingDirectory, parts.arguments, parts.iconPath,
                       parts.iconIndex, parts.showCommand, parts.hotKey};
        auto bytes = lnk::Encode(link);
        if (!bytes) return kShellLinkInvalidArgument;
        return WriteFileBytes(file, *bytes) ? 0 : kFailed;
    }

    std::optional<ShellLinkParts> Load(std::string_view file) override {
        auto bytes = ReadFileBytes(file);
        if (!bytes) return std::nullopt;
        auto link = lnk::Decode(*bytes);
        if (!link) return std::nullopt;
        return ShellLinkParts{link->target, link->workingDirectory, link->arguments, link->iconLocation,
                              link->iconIndex, link->showCommand, link->hotKey};
    }
};

}  // namespace

std::unique_ptr<ShellLinks> CreateShellLinks() { return std::make_unique<FormatShellLinks>(); }

}  // namespace kumoya::platform
