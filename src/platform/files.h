// Files and folders. Paths are Windows paths in Shift_JIS (C:\Apps\a.txt); the
// posix layer maps them onto the host the way Wine does (Z:\ is /) and looks
// names up without regard to case, as Windows does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kumoya::platform {

using Bytes = std::vector<std::uint8_t>;

// The last failure of a function in this header on this thread, with the
// system call's name and error code ("MoveFileExW: error 5").
const std::string& LastError();

bool FileExists(std::string_view path);       // an existing file, not a folder
bool DirectoryExists(std::string_view path);
// The name of the path's last component as stored on disk (FindFirstFile), or
// nullopt when nothing of that name exists.
std::optional<std::string> StoredName(std::string_view path);

std::optional<Bytes> ReadFileBytes(std::string_view path);

// What kind of failure the last failing function of this header met on this
// thread (reset by ReadFileBytes and ReplaceFileAtomically when they
// succeed). Absent means nothing of that name exists; every other kind means
// something is there that cannot be used now, which a reader must not
// mistake for a missing file.
enum class FileFailure {
    None,
    Absent,        // no such file (or folder on the way)
    InUse,         // another program holds it open without sharing
    AccessDenied,  // no permission
    IsFolder,      // a folder stands where the file should be
    Unavailable,   // its drive, device or network share cannot be reached
    DiskFull,      // no room left on the drive
    ReadOnly,      // the drive or medium is write-protected
    Other,         // anything else (see LastError())
};
FileFailure LastFileFailure();
bool WriteFileBytes(std::string_view path, const Bytes& data);
// A whole file mapped read-only into memory, to be read without copying it.
// An empty file gives no data and size 0. The file must not be cut shorter
// while it is mapped; the catalogue is only ever replaced, never cut.
class MappedFile {
public:
    // nullopt when the file cannot be opened or mapped (see LastError()).
    static std::optional<MappedFile> Open(std::string_view path);
    MappedFile(MappedFile&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    MappedFile& operator=(MappedFile&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        return *this;
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Writes a new file beside `path` and puts it in place of the old one in one
// step, so that a failure leaves the old file as it was.
bool ReplaceFileAtomically(std::string_view path, const Bytes& data);
// Puts the file `from` in place of `to` in one step, replacing `to` when it
// exists, so that `to` is always either the old or the new file.
bool ReplaceFileWith(std::string_view to, std::string_view from);
// Creates an empty file, only where nothing of that name exists yet: false
// when the name is taken or the folder cannot be written to.
bool CreateNewEmptyFile(std::string_view path);
bool DeleteFileAt(std::string_view path);
bool RenameFile(std::string_view from, std::string_view to);
bool CreateDirectories(std::string_view path);
bool RemoveEmptyDirectory(std::string_view path);

// A file read or written in blocks, for data too large to hold at once.
// Closed when it goes out of scope.
class BlockFile {
public:
    enum class Mode { Read, Create };  // Create makes the file anew (truncates)

    BlockFile() = default;
    ~BlockFile();
    BlockFile(BlockFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }
    BlockFile& operator=(BlockFile&& other) noexcept;
    BlockFile(const BlockFile&) = delete;
    BlockFile& operator=(const BlockFile&) = delete;

    bool Open(std::string_view path, Mode mode);
    bool IsOpen() const { return handle_ != kClosed; }
    // The file's size in bytes, or -1.
    std::int64_t Size() const;
    // Reads up to `size` bytes: the number read, 0 at the end, -1 on failure.
    std::int64_t Read(void* buffer, std::size_t size);
    bool Write(const void* data, std::size_t size);
    // Writes what is buffered through to the disk.
    bool Flush();
    bool Close();

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;  // the system's handle or descriptor
};

struct DirectoryEntry {
    std::string name;  // stored name, no folder
    bool isDirectory = false;  // a folder, or a link that leads to one
    bool isLink = false;       // a symbolic link, junction or other reparse point
};
// Entries of one folder matching a pattern with * and ? in its last component
// (C:\Tools\*.exe), "." and ".." left out, in the order the system gives them.
std::vector<DirectoryEntry> ListDirectory(std::string_view pattern);
// What a folder is on disk, whatever path leads to it: equal for two paths
// that reach the same folder through links or junctions. nullopt when the
// path names no folder that can be opened.
std::optional<std::string> FolderIdentity(std::string_view path);

std::string ProgramPath();    // the running program file
std::string ProgramFolder();  // its folder, with the trailing backslash
std::string ComputerName();
std::string TempFolder();     // with the trailing backslash

}  // namespace kumoya::platform
