#include "support/scratch_folder.h"

#include <atomic>
#include <random>
#include <stdexcept>

#include "platform/files.h"

namespace kumoya::testsupport {
namespace {

void RemoveTree(const std::string& folder) {
    for (const auto& e : platform::ListDirectory(folder + "*")) {
        std::string full = folder + e.name;
        if (e.isDirectory) {
            RemoveTree(full + "\\");
        } else {
            platform::DeleteFileAt(full);
        }
    }
    platform::RemoveEmptyDirectory(folder);
}

}  // namespace

ScratchFolder::ScratchFolder() : ScratchFolder("kumoya-test-") {}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    static std::atomic<int> counter{0};
    static const unsigned stamp = std::random_device{}();  // <chrono> does not build with the CP932 literal setting
    path_ = platform::TempFolder() + prefix + std::to_string(stamp) + "_" + std::to_string(counter++) + "\\";
    if (!platform::CreateDirectories(path_.substr(0, path_.size() - 1)))
        throw std::runtime_error("cannot create " + path_ + ": " + platform::LastError());
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

}  // namespace kumoya::testsupport
