// The shortcut reader on arbitrary bytes: it must answer, never read outside
// its input, and whatever it accepts must survive writing and reading again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/lnk_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A private copy of exactly `size` bytes, so that any over-read is caught.
    std::vector<std::uint8_t> input(data, data + size);
    auto link = kumoya::platform::lnk::Decode(input.data(), input.size());
    if (!link) return 0;
    // Written and read again it must come back; a second round must change
    // nothing (the first may: code page 932 maps some characters of the
    // NEC-selected rows to their IBM forms).
    auto again = kumoya::platform::lnk::Encode(*link);
    if (!again) return 0;  // e.g. a string longer than a 16-bit count
    auto first = kumoya::platform::lnk::Decode(*again);
    if (!first) std::abort();
    auto twice = kumoya::platform::lnk::Encode(*first);
    if (!twice) std::abort();
    auto back = kumoya::platform::lnk::Decode(*twice);
    if (!back || back->target != first->target || back->workingDirectory != first->workingDirectory ||
        back->arguments != first->arguments || back->iconLocation != first->iconLocation ||
        back->iconIndex != link->iconIndex || back->showCommand != link->showCommand || back->hotKey != link->hotKey)
        std::abort();
    return 0;
}
