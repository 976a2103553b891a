#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/host_path.h"

namespace kumoya::platform {

struct OutputFile::Native {
    int fd = -1;
    std::string temp;    // host path of the temporary file
    std::string target;  // host path of the target
};

namespace {
std::string ErrnoText(const char* call, int error) {
    return std::string(call) + ": " + std::strerror(error) + " (errno " + std::to_string(error) + ")";
}
}  // namespace

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() { Discard(); }

std::string OutputFile::TemporaryName(std::string_view target) { return std::string(target) + ".part"; }

bool OutputFile::Open(std::string_view target) {
    Discard();
    auto host = posix::ToHostPath(target);
    if (!host) {
        error_ = "no host path for " + std::string(target);
        return false;
    }
    auto native = std::make_unique<Native>();
    native->target = *host;
    native->temp = *host + ".part";
    native->fd = ::open(native->temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (native->fd < 0) {
        error_ = ErrnoText("open", errno);
        return false;
    }
    native_ = std::move(native);
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (!native_) {
        error_ = "write: no file open";
        return false;
    }
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(native_->fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = ErrnoText("write", errno);
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::Commit() {
    if (!native_) {
        error_ = "commit: no file open";
        return false;
    }
    int fd = native_->fd;
    native_->fd = -1;
    // The bytes reach the disk before the name does: after a power cut the
    // target is then the old file or the new one, never an empty one.
    if (::fsync(fd) != 0) {
        error_ = ErrnoText("fsync", errno);
        ::close(fd);
        Discard();
        return false;
    }
    if (::close(fd) != 0) {
        error_ = ErrnoText("close", errno);
        Discard();
        return false;
    }
    if (::rename(native_->temp.c_str(), native_->target.c_str()) != 0) {
        error_ = ErrnoText("rename", errno);
        Discard();
        return false;
    }
    native_.reset();
    return true;
}

void OutputFile::Discard() {
    if (!native_) return;
    if (native_->fd >= 0) ::close(native_->fd);
    ::unlink(native_->temp.c_str());
    native_.reset();
}

}  // namespace kumoya::platform
