// The program entry's one call into the launcher.
#pragma once

#include <string>
#include <vector>

namespace kumoya {

// Runs Kumoya with the command-line arguments (Shift_JIS, without the
// program name); answers the process exit code.
int ProgramMain(std::vector<std::string> args);

}  // namespace kumoya
