#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/codec.h"
#include "platform/posix/host_path.h"
#include "platform/text.h"

namespace kumoya::platform {
namespace {

thread_local std::string lastError;
thread_local FileFailure lastFailure = FileFailure::None;

FileFailure FailureOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return FileFailure::Absent;
    case EACCES:
    case EPERM: return FileFailure::AccessDenied;
    case EISDIR: return FileFailure::IsFolder;
    case EBUSY:
    case ETXTBSY: return FileFailure::InUse;
    case ENOSPC:
    case EDQUOT: return FileFailure::DiskFull;
    case EROFS: return FileFailure::ReadOnly;
    case EIO:
    case ENXIO:
    case ENODEV:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ENOMEDIUM: return FileFailure::Unavailable;
    default: return FileFailure::Other;
    }
}

bool Fail(const char* call, int error) {
    lastError = std::string(call) + ": " + std::strerror(error) + " (errno " + std::to_string(error) + ")";
    lastFailure = FailureOf(error);
    return false;
}

bool FailNoHostPath(std::string_view path) {
    lastError = "no host path for " + std::string(path);
    // A path with no place on this host names nothing that could exist.
    lastFailure = FileFailure::Absent;
    return false;
}

bool WriteAll(int fd, const Bytes& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool StatHost(std::string_view path, struct stat& st) {
    auto host = posix::ToHostPath(path);
    return host && ::stat(host->c_str(), &st) == 0;
}

}  // namespace

const std::string& LastError() { return lastError; }

FileFailure LastFileFailure() { return lastFailure; }

bool FileExists(std::string_view path) {
    struct stat st;
    return StatHost(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return StatHost(path, st) && S_ISDIR(st.st_mode);
}

std::optional<std::string> StoredName(std::string_view path) {
    if (path.empty()) return std::nullopt;  // names nothing, as on Windows
    auto host = posix::ToHostPath(path);
    struct stat st;
    if (!host || ::lstat(host->c_str(), &st) != 0) return std::nullopt;
    std::size_t slash = host->find_last_of('/');
    std::string name = slash == std::string::npos ? *host : host->substr(slash + 1);
    if (name.empty()) return std::nullopt;
    auto sjis = Utf8ToSjis(name);
    if (!sjis) lastError = "name has no Shift_JIS form: " + name;
    return sjis;
}

std::optional<Bytes> ReadFileBytes(std::string_view path) {
    auto host = posix::ToHostPath(path);
    lastFailure = FileFailure::None;
    if (!host) return FailNoHostPath(path), std::nullopt;
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail("open", errno), std::nullopt;
    // Read straight into the result, sized from the file; a file that grows
    // meanwhile is read on in steps.
    struct stat st;
    std::size_t expected = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    Bytes data(expected + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) data.resize(data.size() * 2);
        ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            ::close(fd);
            return Fail("read", error), std::nullopt;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    ::close(fd);
    return data;
}

std::optional<MappedFile> MappedFile::Open(std::string_view path) {
    auto host = posix::ToHostPath(path);
    lastFailure = FileFailure::None;
    if (!host) return FailNoHostPath(path), std::nullopt;
    int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail("open", errno), std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return Fail("fstat", error), std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) {  // a folder opens, but is no file to read
        ::close(fd);
        return Fail("open", EISDIR), std::nullopt;
    }
    if (st.st_size == 0) {
        ::close(fd);
        return MappedFile(nullptr, 0);
    }
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE;  // every page at once: the whole file is read
#endif
    auto size = static_cast<std::size_t>(st.st_size);
    void* view = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
    int error = errno;
    ::close(fd);
    if (view == MAP_FAILED) return Fail("mmap", error), std::nullopt;
    return MappedFile(static_cast<const std::uint8_t*>(view), size);
}

MappedFile::~MappedFile() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool WriteFileBytes(std::string_view path, const Bytes& data) {
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    int fd = ::open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("open", errno);
    bool ok = WriteAll(fd, data);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok || Fail("write", error);
}

bool CreateNewEmptyFile(std::string_view path) {
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    // Windows names are case-insensitive: a name taken in another case is
    // taken (ToHostPath resolves it to the stored one).
    int fd = ::open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("open", errno);
    return ::close(fd) == 0 || Fail("close", errno);
}

bool ReplaceFileAtomically(std::string_view path, const Bytes& data) {
    lastFailure = FileFailure::None;
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    std::string temp = *host + ".new";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("open", errno);
    if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
        int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return Fail("write", error);
    }
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return Fail("close", error);
    }
    if (::rename(temp.c_str(), host->c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return Fail("rename", error);
    }
    // Make the rename itself durable.
    std::size_t slash = host->find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : host->substr(0, slash));
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool ReplaceFileWith(std::string_view to, std::string_view from) {
    auto a = posix::ToHostPath(from);
    auto b = posix::ToHostPath(to);
    if (!a || !b) return FailNoHostPath(!a ? from : to);
    if (::rename(a->c_str(), b->c_str()) != 0) return Fail("rename", errno);
    std::size_t slash = b->find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : b->substr(0, slash));
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

BlockFile::~BlockFile() { Close(); }

BlockFile& BlockFile::operator=(BlockFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kClosed;
    }
    return *this;
}

bool BlockFile::Open(std::string_view path, Mode mode) {
    Close();
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    int flags = mode == Mode::Read ? O_RDONLY : (O_WRONLY | O_CREAT | O_TRUNC);
    int fd = ::open(host->c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return Fail("open", errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Fail("open", EISDIR);
    }
    handle_ = fd;
    return true;
}

std::int64_t BlockFile::Size() const {
    struct stat st;
    if (!IsOpen() || ::fstat(static_cast<int>(handle_), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t BlockFile::Read(void* buffer, std::size_t size) {
    if (!IsOpen()) return -1;
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("read", errno);
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool BlockFile::Write(const void* data, std::size_t size) {
    if (!IsOpen()) return Fail("write", EBADF);
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(static_cast<int>(handle_), p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail("write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool BlockFile::Flush() { return IsOpen() && (::fsync(static_cast<int>(handle_)) == 0 || Fail("fsync", errno)); }

bool BlockFile::Close() {
    if (!IsOpen()) return true;
    int fd = static_cast<int>(handle_);
    handle_ = kClosed;
    return ::close(fd) == 0 || Fail("close", errno);
}

bool DeleteFileAt(std::string_view path) {
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    return ::unlink(host->c_str()) == 0 || Fail("unlink", errno);
}

bool RenameFile(std::string_view from, std::string_view to) {
    auto a = posix::ToHostPath(from);
    auto b = posix::ToHostPath(to);
    if (!a || !b) return FailNoHostPath(!a ? from : to);
    // Windows' MoveFile refuses to replace an existing file; keep that.
    struct stat st;
    if (::lstat(b->c_str(), &st) == 0) return Fail("rename", EEXIST);
    return ::rename(a->c_str(), b->c_str()) == 0 || Fail("rename", errno);
}

bool CreateDirectories(std::string_view path) {
    if (path.empty()) return true;
    if (DirectoryExists(path)) return true;
    std::string parent = sjis::Parent(path);
    if (!parent.empty() && parent != path && !CreateDirectories(parent)) return false;
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    if (::mkdir(host->c_str(), 0755) == 0 || errno == EEXIST) return true;
    return Fail("mkdir", errno);
}

bool RemoveEmptyDirectory(std::string_view path) {
    auto host = posix::ToHostPath(path);
    if (!host) return FailNoHostPath(path);
    return ::rmdir(host->c_str()) == 0 || Fail("rmdir", errno);
}

std::vector<DirectoryEntry> ListDirectory(std::string_view pattern) {
    std::vector<DirectoryEntry> entries;
    std::string folder = sjis::FolderWithSeparator(pattern);
    auto mask = SjisToUtf8(sjis::FileName(pattern));
    auto host = posix::ToHostPath(folder.empty() ? "." : folder);
    if (!host || !mask) {
        FailNoHostPath(pattern);
        return entries;
    }
    DIR* dir = ::opendir(host->c_str());
    if (!dir) {
        Fail("opendir", errno);
        return entries;
    }
    // Windows matches "*.*" against every name, dotted or not.
    std::string glob = *mask == "*.*" ? "*" : *mask;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (::fnmatch(glob.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        auto sjisName = Utf8ToSjis(name);
        if (!sjisName) continue;  // a name the program could not address
        bool isDir = e->d_type == DT_DIR;
        bool isLink = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN || isLink) {  // ask the file itself, following links
            struct stat st;
            std::string full = *host + "/" + name;
            if (e->d_type == DT_UNKNOWN) isLink = ::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
            isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({std::move(*sjisName), isDir, isLink});
    }
    ::closedir(dir);
    return entries;
}

std::optional<std::string> FolderIdentity(std::string_view path) {
    struct stat st;
    if (!StatHost(path, st) || !S_ISDIR(st.st_mode)) return std::nullopt;
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string ProgramPath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return posix::FromHostPath(std::string(buffer, static_cast<std::size_t>(n))).value_or(std::string());
}

std::string ProgramFolder() { return sjis::FolderWithSeparator(ProgramPath()); }

std::string ComputerName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return "LOCALHOST";
    // Windows reports the NetBIOS form: upper case, at most 15 characters, up
    // to the first dot.
    std::string name(buffer);
    if (std::size_t dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    if (name.size() > 15) name.resize(15);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name.empty() ? "LOCALHOST" : name;
}

std::string TempFolder() {
    const char* tmp = ::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : "/tmp";
    auto win = posix::FromHostPath(folder).value_or("Z:\\tmp");
    if (win.back() != '\\') win += '\\';
    return win;
}

}  // namespace kumoya::platform
