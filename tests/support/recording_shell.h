// A shell for tests: records every Open and hands out fake icons that carry
// the file they were asked for ("small:<file>", "first:<file>").
//   RecordingShell shell;
//   platform::ScopedService<platform::Shell> use(shell);
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/records.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace kumoya::testsupport {

class RecordingShell : public platform::Shell {
public:
    struct OpenCall {
        std::string file, parameters, directory;
        bool showNormal = true;
        std::uintptr_t ownerWindow = 0;
    };

    std::vector<OpenCall> opens;
    bool openResult = true;              // what Open answers
    std::set<std::string> filesWithoutIcons;  // these yield empty icons
    // ProgramFor: the program for each extension key ("TXT"); every
    // question is recorded with whether the file existed when it was asked.
    std::map<std::string, std::string> executables;
    struct FindCall {
        std::string file;
        bool existed = false;
    };
    std::vector<FindCall> finds;

    bool Open(std::string_view file, std::string_view parameters, std::string_view directory, bool showNormal,
              std::uintptr_t ownerWindow) override {
        opens.push_back({std::string(file), std::string(parameters), std::string(directory), showNormal, ownerWindow});
        return openResult;
    }
    platform::Icon SmallIcon(std::string_view file) override { return Fake("small:", file); }
    platform::Icon FirstIcon(std::string_view file) override { return Fake("first:", file); }
    std::optional<std::string> ProgramFor(std::string_view file) override {
        bool exists = platform::FileExists(file);
        finds.push_back({std::string(file), exists});
        auto it = executables.find(ExtensionKey(file));
        if (!exists || it == executables.end()) return std::nullopt;
        return it->second;
    }

private:
    platform::Icon Fake(const char* kind, std::string_view file) {
        if (filesWithoutIcons.count(std::string(file))) return {};
        return platform::Icon(nullptr, kind + std::string(file));
    }
};

}  // namespace kumoya::testsupport
