// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends. Its path is a Windows path ending in a backslash.
#pragma once

#include <string>

namespace kumoya::testsupport {

class ScratchFolder {
public:
    ScratchFolder();
    // A folder named `prefix` + a unique number made of digits and "_" only
    // (for tests whose paths must hold no "-").
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }  // ends with '\'
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

}  // namespace kumoya::testsupport
