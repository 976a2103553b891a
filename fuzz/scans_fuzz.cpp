// The open-command parser and the registry scan on arbitrary registry text:
// they must answer, never read outside their input, and keep their promises
// (a program for every success; rows only with a name, a storable path in
// upper case that is no rundll, and a template made of the command's text).
//
// Input: extension, file type, display name and command, separated by '\n'.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registration/scans.h"

namespace {

std::vector<std::string> Fields(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && fields.size() < 4) {
            fields.emplace_back();
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    fields.resize(4);
    return fields;
}

const std::string& ProbeFolder() {
    static const std::string folder = [] {
        std::string f = kumoya::platform::TempFolder() + "kumoyafuzzprobe\\";
        kumoya::platform::CreateDirectories(f.substr(0, f.size() - 1));
        return f;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kumoya;
    static platform::FixedFolders folders = [] {
        platform::FixedFolders f;
        f.windows = "C:\\WINDOWS";
        return f;
    }();
    static platform::ScopedService<platform::SystemFolders> useFolders(folders);

    auto f = Fields(data, size);
    const std::string &extension = f[0], &type = f[1], &name = f[2], &command = f[3];

    std::string program, params;
    if (ParseOpenCommand(extension, command, program, params, ProbeFolder()) == 0 && program.empty()) std::abort();
    // The template is the switch part and one placeholder, joined by a blank.
    if (params.size() > command.size() + 1) std::abort();

    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry(registry);
    registry.WriteString(platform::RegistryRoot::ClassesRoot, extension, "", type);
    registry.WriteString(platform::RegistryRoot::ClassesRoot, type, "", name);
    registry.WriteString(platform::RegistryRoot::ClassesRoot, type + "\\shell\\open\\command", "", command);
    for (const ScanRow& row : ScanRegistry()) {
        if (row.SubItems.size() != 3 || row.SubItems[0].empty() || row.Caption.empty() || row.Caption[0] != '.')
            std::abort();
        const std::string& path = row.SubItems[1];
        if (path.empty() || path.size() >= 512 || path != sjis::UpperAscii(path) ||
            sjis::Find(path, "RUNDLL") != std::string::npos)
            std::abort();
    }
    return 0;
}
