// The shell: "open" for a file, program or address, and the icons the shell
// shows for a file. Tests put a recording double in its place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/icon.h"
#include "platform/service.h"

namespace kumoya::platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens `file` the way the shell does with the verb "open": a program is
    // started with `parameters`, anything else with the program associated
    // with it. An empty `directory` means the current one. `showNormal`
    // false starts it hidden. `ownerWindow` is the native handle of the
    // window that owns any message the shell shows (0 for none). True when the
    // system accepted the request; what the started program does is not known.
    virtual bool Open(std::string_view file, std::string_view parameters, std::string_view directory,
                      bool showNormal, std::uintptr_t ownerWindow) = 0;
    // The small icon the shell shows for the file; empty when it has none.
    virtual Icon SmallIcon(std::string_view file) = 0;
    // The first icon held in the file (a program, library or icon file);
    // empty for a file that holds none or is no icon file at all.
    virtual Icon FirstIcon(std::string_view file) = 0;
    // The program the system would start to open the existing file `file`
    // (the shell's FindExecutable, a name windows.h takes as a macro): its
    // full path, or nullopt when the file is missing or no program is
    // associated with its type.
    virtual std::optional<std::string> ProgramFor(std::string_view file) = 0;
};
template <> Shell& Service<Shell>::Default();

inline Shell& SystemShell() { return Service<Shell>::Get(); }

// The arguments in a command line's parameters, split as Windows splits a
// command line for a program (blanks separate, double quotes group, and
// backslashes escape only a quote). Shift_JIS-aware: a trail byte 0x5C is no
// backslash.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

}  // namespace kumoya::platform
