#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crash/child_process.h"
#include "platform/socket.h"

extern char** environ;

namespace kumoya::crashtest {

struct ChildProcess::Native {
    pid_t pid = -1;
    int out = -1;  // read end of the child's standard output
    bool reaped = false;
    int status = 0;
};

std::string OwnProgram() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() {
    if (!native_) return;
    Kill();
    ::close(native_->out);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("pipe2: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        error = "posix_spawn " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    native_ = std::make_unique<Native>();
    native_->pid = pid;
    native_->out = fds[0];
    buffer_.clear();
    ended_ = false;
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(int timeoutMs) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        std::size_t eol = buffer_.find('\n');
        if (eol != std::string::npos) {
            std::string line = buffer_.substr(0, eol);
            buffer_.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (ended_ || !native_) return std::nullopt;
        std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline) return std::nullopt;
        pollfd p{native_->out, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(deadline - now));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char chunk[4096];
        ssize_t n = ::read(native_->out, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended_ = true;
            continue;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

void ChildProcess::Kill() {
    if (!native_) return;
    if (!native_->reaped) {
        ::kill(native_->pid, SIGKILL);
        while (::waitpid(native_->pid, &native_->status, 0) < 0 && errno == EINTR) {
        }
        native_->reaped = true;
    }
    // What it wrote before it died is still in the pipe: keep reading it.
}

int ChildProcess::Wait(int timeoutMs) {
    if (!native_) return -1;
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    while (!native_->reaped) {
        pid_t r = ::waitpid(native_->pid, &native_->status, WNOHANG);
        if (r == native_->pid) {
            native_->reaped = true;
            break;
        }
        if (platform::MonotonicMs() >= deadline) {
            Kill();
            return -1;
        }
        platform::SleepMs(5);
    }
    return WIFEXITED(native_->status) ? WEXITSTATUS(native_->status) : 128 + WTERMSIG(native_->status);
}

}  // namespace kumoya::crashtest
