// The program entry's one call into the launcher.
#pragma once

#include <string>
#include <vector>

namespace kumoya {

// Runs Kumoya with the command-line arguments (Shift_JIS, without the
// program name); answers the process exit code.
int ProgramMain(std::vector<std::string> args);
// The same with another catalogue file than this computer's.
int ProgramMain(std::vector<std::string> args, std::string catalogueFile);

class AppContext;
class TfrmTitle;

// Connects the context's run-wide actions to the launcher form and to the
// windows that carry them out.
void WireRunActions(AppContext& context, TfrmTitle& title);

}  // namespace kumoya
