// The help file, through WinHelp: the management window's help menu opens its
// contents, the finder, a topic by context number, or help on help.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/service.h"

namespace kumoya::platform {

// WinHelp commands the program uses.
inline constexpr unsigned kHelpContext = 1;     // the topic with a context number
inline constexpr unsigned kHelpContents = 3;    // the contents topic
inline constexpr unsigned kHelpHelpOnHelp = 4;  // how to use help
inline constexpr unsigned kHelpFinder = 11;     // the finder (keyword search)

class Help {
public:
    virtual ~Help() = default;
    // Asks the help viewer to act on `file`; `data` is the context number for
    // kHelpContext and 0 otherwise. True when the viewer took the request.
    virtual bool Open(std::string_view file, unsigned command, std::uintptr_t data) = 0;
};
template <> Help& Service<Help>::Default();

inline Help& SystemHelp() { return Service<Help>::Get(); }

}  // namespace kumoya::platform
