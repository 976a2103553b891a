// Files and folders. Paths are Windows paths in Shift_JIS (C:\Apps\a.txt); the
// posix layer maps them onto the host the way Wine does (Z:\ is /) and looks
// names up without regard to case, as Windows does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
bool WriteFileBytes(std::string_view path, const Bytes& data);
// Writes a new file beside `path` and puts it in place of the old one in one
// step, so that a failure leaves the old file as it was.
bool ReplaceFileAtomically(std::string_view path, const Bytes& data);
// Creates an empty file, only where nothing of that name exists yet: false
// when the name is taken or the folder cannot be written to.
bool CreateNewEmptyFile(std::string_view path);
bool DeleteFileAt(std::string_view path);
bool RenameFile(std::string_view from, std::string_view to);
bool CreateDirectories(std::string_view path);
bool RemoveEmptyDirectory(std::string_view path);

struct DirectoryEntry {
    std::string name;  // stored name, no folder
    bool isDirectory = false;
};
// Entries of one folder matching a pattern with * and ? in its last component
// (C:\Tools\*.exe), "." and ".." left out, in the order the system gives them.
std::vector<DirectoryEntry> ListDirectory(std::string_view pattern);

std::string ProgramPath();    // the running program file
std::string ProgramFolder();  // its folder, with the trailing backslash
std::string ComputerName();
std::string TempFolder();     // with the trailing backslash

}  // namespace kumoya::platform
