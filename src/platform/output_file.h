// A file written in pieces that takes the place of its target only when it is
// complete: the bytes go to a temporary file beside the target, Commit puts
// it in place in one step, and Discard (or destruction without Commit)
// removes it, leaving the target as it was. Paths are Windows paths in
// Shift_JIS, as in files.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kumoya::platform {

class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates (or empties) the temporary file for `target`.
    bool Open(std::string_view target);
    bool Write(const void* data, std::size_t size);
    // Closes the temporary file and replaces the target with it.
    bool Commit();
    // Closes and removes the temporary file; the target is untouched.
    void Discard();
    // The last failure, with the system call's name and error code.
    const std::string& Error() const { return error_; }

    // The temporary file's name for a target (the target plus ".part").
    static std::string TemporaryName(std::string_view target);

private:
    struct Native;
    std::unique_ptr<Native> native_;
    std::string error_;
};

}  // namespace kumoya::platform
