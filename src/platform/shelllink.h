// Shortcut files through the system's shell link object (Windows) or our own
// reading and writing of the file format (Linux). One instance per user of
// the service: on Windows it holds the component library open for the
// calling thread from construction to destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kumoya::platform {

// One shortcut's parts, texts in Shift_JIS.
struct ShellLinkParts {
    std::string target;
    std::string workingDirectory;
    std::string arguments;
    std::string iconPath;
    std::int32_t iconIndex = 0;
    std::int32_t showCommand = 0;
    std::uint16_t hotKey = 0;  // low byte key, high byte 0x01 Shift, 0x02 Ctrl, 0x04 Alt
};

class ShellLinks {
public:
    virtual ~ShellLinks() = default;
    // Writes (or overwrites) the shortcut file `file`. Answers the system's
    // result code of the last step performed: negative on failure, 0 or
    // positive on success.
    virtual std::int32_t Save(std::string_view file, const ShellLinkParts& parts) = 0;
    // Reads the shortcut file `file`; nullopt on any failure, a target without
    // a Shift_JIS form included. A working folder, arguments or icon file
    // without one are left empty (the icon index then 0). The target is read
    // as stored, never resolved.
    virtual std::optional<ShellLinkParts> Load(std::string_view file) = 0;
};

std::unique_ptr<ShellLinks> CreateShellLinks();

// A result code for failures that happen before the system is asked (a name
// it cannot take): E_INVALIDARG's value, negative like every failure.
constexpr std::int32_t kShellLinkInvalidArgument = static_cast<std::int32_t>(0x80070057u);

}  // namespace kumoya::platform
