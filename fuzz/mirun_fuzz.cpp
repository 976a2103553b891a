// Reading the sticky-note program's shared block, whatever it holds: never
// outside the block, and a version verdict that agrees with the number the
// text spells (checked against strtod, away from the rounding edge at 1.33).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "registration/mirun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kumoya;
    // Exactly the bytes given, so a short block is read as short.
    std::vector<std::uint8_t> block(data, data + size);
    bool ready = MirunBlockReady(block.data(), block.size());
    MirunVersionCheck check = CheckMirunVersion(block.data(), block.size());
    if (size < kMirunBlockSize) {
        if (ready || check != MirunVersionCheck::Unreadable) std::abort();
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(block.data() + kMirunTextOffset);
    const void* zero = std::memchr(text, 0, kMirunAreaSize);
    if (!zero) {
        if (check != MirunVersionCheck::Unreadable) std::abort();
        return 0;
    }
    if (check == MirunVersionCheck::Unreadable) return 0;
    std::string number(text, static_cast<const char*>(zero));
    if (number.compare(0, 3, "Ver") != 0) std::abort();
    number.erase(0, 3);
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    if (end == number.c_str()) std::abort();  // a verdict on something that is no number
    if (std::fabs(value - 1.33) > 1e-9 && !std::isnan(value)) {
        bool supported = value >= 1.33;
        if (supported != (check == MirunVersionCheck::Supported)) std::abort();
    }
    return 0;
}
