// The stand-ins the scan tests share: an in-memory registry, a recording
// shell, fixed system folders and a scratch folder for programs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registration/scans.h"
#include "support/recording_shell.h"
#include "support/scratch_folder.h"

namespace kumoya::testsupport {

class ScanFixture : public ::testing::Test {
protected:
    // Test paths hold no "-": a command splits at its first one.
    ScratchFolder dir{"kumoyascan"};
    platform::MemoryRegistry registry;
    platform::ScopedService<platform::Registry> useRegistry{registry};
    testsupport::RecordingShell shell;
    platform::ScopedService<platform::Shell> useShell{shell};
    platform::FixedFolders folders;
    platform::ScopedService<platform::SystemFolders> useFolders{folders};

    // An empty file at dir\relative (folders made as needed); its full path.
    std::string Make(const std::string& relative) {
        std::string path = dir / relative;
        EXPECT_TRUE(platform::CreateDirectories(sjis::Parent(path)));
        EXPECT_TRUE(platform::WriteFileBytes(path, {}));
        return path;
    }

    // Parses with the probe file in dir\probe\.
    int Parse(const std::string& extension, const std::string& command, std::string& program, std::string& params) {
        platform::CreateDirectories(dir / "probe");
        return ParseOpenCommand(extension, command, program, params, dir / "probe\\");
    }

    void FileType(const std::string& extension, const std::string& type, const std::string& displayName,
                  const std::string& command, const char* verb = "open") {
        registry.WriteString(platform::RegistryRoot::ClassesRoot, extension, "", type);
        if (!displayName.empty()) registry.WriteString(platform::RegistryRoot::ClassesRoot, type, "", displayName);
        registry.WriteString(platform::RegistryRoot::ClassesRoot, type + "\\shell\\" + verb + "\\command", "", command);
    }
};

}  // namespace kumoya::testsupport
