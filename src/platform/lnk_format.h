// The Windows shortcut (.lnk) file format, as pure byte logic: a header with
// the show command and hot key, an optional item-id list of the target, the
// link information with the target's local or network path, and the counted
// strings for the working folder, the arguments and the icon location.
// Used where there is no shell link object to do it for us.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kumoya::platform::lnk {

// One shortcut's parts; texts in Shift_JIS.
struct Link {
    std::string target;
    std::string workingDirectory;
    std::string arguments;
    std::string iconLocation;
    std::int32_t iconIndex = 0;
    std::int32_t showCommand = 0;
    std::uint16_t hotKey = 0;  // low byte key, high byte HOTKEYF_* modifiers
};

// The file for a link. nullopt when a text is not valid Shift_JIS or is too
// long for the format's 16-bit character counts.
std::optional<std::vector<std::uint8_t>> Encode(const Link& link);

// The link in a file's bytes. nullopt for anything that is not a well-formed
// shortcut or whose target has no Shift_JIS form; a working folder, arguments
// or icon location without one are left empty (and the icon index 0). Never
// reads outside [data, data + size).
std::optional<Link> Decode(const std::uint8_t* data, std::size_t size);
inline std::optional<Link> Decode(const std::vector<std::uint8_t>& bytes) {
    return Decode(bytes.data(), bytes.size());
}

}  // namespace kumoya::platform::lnk
