// The shell on Linux: a program file is started directly (its parameters
// split as Windows would split them); a document, folder or address goes to
// the desktop's opener, xdg-open. There are no icons: an icon here is the
// name of the file it would come from.
#include "platform/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "platform/codec.h"
#include "platform/files.h"
#include "platform/posix/host_path.h"
#include "platform/registry.h"
#include "platform/text.h"

extern char** environ;

namespace kumoya::platform {
namespace {

// "http://...", "mailto:..." but not "C:\...".
bool IsAddress(std::string_view file) {
    auto colon = file.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = file[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
              c == '.'))
            return false;
    }
    return true;
}

bool IsProgram(const std::string& hostPath) {
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(hostPath.c_str(), X_OK) == 0;
}

bool IsIconHolder(std::string_view file) {
    std::string ext = sjis::UpperAscii(sjis::Extension(file));
    for (const char* e : {".EXE", ".DLL", ".ICO", ".ICL", ".CPL", ".SCR"}) {
        if (ext == e) return true;
    }
    return false;
}

class PosixShell : public Shell {
public:
    bool Open(std::string_view file, std::string_view parameters, std::string_view directory, bool,
              std::uintptr_t) override {
        ReapFinished();
        std::vector<std::string> argv;
        std::optional<std::string> workDir;
        if (!directory.empty()) {
            workDir = posix::ToHostPath(directory);
            if (!workDir) return false;
        }
        if (IsAddress(file)) {
            auto address = SjisToUtf8(file);
            if (!address) return false;
            argv = {"xdg-open", *address};
        } else {
            auto host = posix::ToHostPath(file);
            if (!host) return false;
            if (IsProgram(*host)) {
                argv.push_back(*host);
                for (const auto& arg : SplitCommandLine(parameters)) {
                    auto utf8 = SjisToUtf8(arg);
                    if (!utf8) return false;
                    argv.push_back(*utf8);
                }
            } else {
                if (access(host->c_str(), F_OK) != 0) return false;  // the shell reports a missing file
                argv = {"xdg-open", *host};
            }
        }
        return Spawn(argv, workDir);
    }

    Icon SmallIcon(std::string_view file) override {
        if (!FileExists(file) && !DirectoryExists(file)) return {};
        return Icon(nullptr, std::string(file));
    }

    Icon FirstIcon(std::string_view file) override {
        if (!FileExists(file) || !IsIconHolder(file)) return {};
        return Icon(nullptr, std::string(file) + ",0");
    }

    // The association as the registry in use records it: the file type of
    // the extension, its open command, and the program at the command's
    // start (quoted, or up to the first blank).
    std::optional<std::string> ProgramFor(std::string_view file) override {
        if (!FileExists(file)) return std::nullopt;
        std::string ext = sjis::Extension(file);
        if (sjis::EqualsIgnoreCase(ext, ".exe")) return std::string(file);
        if (ext.empty()) return std::nullopt;
        Registry& registry = SystemRegistry();
        auto type = registry.ReadString(RegistryRoot::ClassesRoot, ext, "");
        if (!type || type->empty()) return std::nullopt;
        auto command = registry.ReadString(RegistryRoot::ClassesRoot, *type + "\\shell\\open\\command", "");
        if (!command) return std::nullopt;
        std::string_view c = *command;
        while (!c.empty() && c.front() == ' ') c.remove_prefix(1);
        std::string program;
        if (!c.empty() && c.front() == '"') {
            auto close = c.find('"', 1);
            if (close == std::string_view::npos) return std::nullopt;
            program = c.substr(1, close - 1);
        } else {
            program = c.substr(0, c.find(' '));
        }
        if (program.empty()) return std::nullopt;
        return program;
    }

private:
    bool Spawn(const std::vector<std::string>& args, const std::optional<std::string>& workDir) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0) return false;
        bool ok = !workDir || posix_spawn_file_actions_addchdir_np(&actions, workDir->c_str()) == 0;
        pid_t pid = 0;
        // A program is started by its path; the opener is found on PATH.
        ok = ok && posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (ok) {
            std::lock_guard<std::mutex> lock(mutex_);
            children_.push_back(pid);
        }
        return ok;
    }

    // Started programs run on their own; the finished ones are collected so
    // they do not linger as zombies.
    void ReapFinished() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(children_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
    }

    std::mutex mutex_;
    std::vector<pid_t> children_;
};

}  // namespace

template <>
Shell& Service<Shell>::Default() {
    static PosixShell shell;
    return shell;
}

}  // namespace kumoya::platform
