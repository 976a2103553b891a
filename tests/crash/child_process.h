// A program started with its standard output read through a pipe, and ended
// at once when the test says so (SIGKILL on Linux, TerminateProcess on
// Windows): the crash test's way of pulling the plug on a writer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kumoya::crashtest {

// This program's own file, in the form ChildProcess::Start takes.
std::string OwnProgram();

class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();  // ends the program if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program file. False with `error` set when it could not
    // be started.
    bool Start(const std::vector<std::string>& argv, std::string& error);
    // The next line of its output (without the line end), waiting at most
    // `timeoutMs`; nullopt when none came in time or the output has ended.
    std::optional<std::string> ReadLine(int timeoutMs);
    // True once the output has ended (the program closed it or is gone).
    bool OutputEnded() const { return ended_; }
    // Ends the program at once, without letting it run another instruction
    // of its own, and waits until it is gone.
    void Kill();
    // Waits for the program to end by itself: its exit code, or -1 when it
    // did not end within `timeoutMs` (it is then killed).
    int Wait(int timeoutMs);

private:
    struct Native;
    std::unique_ptr<Native> native_;
    std::string buffer_;
    bool ended_ = false;
};

}  // namespace kumoya::crashtest
