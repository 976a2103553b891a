#include "platform/files.h"

#include <windows.h>

#include <algorithm>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

thread_local std::string lastError;
thread_local FileFailure lastFailure = FileFailure::None;

FileFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileFailure::Absent;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileFailure::InUse;
    case ERROR_ACCESS_DENIED: return FileFailure::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return FileFailure::DiskFull;
    case ERROR_WRITE_PROTECT: return FileFailure::ReadOnly;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NOT_READY:
    case ERROR_SEM_TIMEOUT: return FileFailure::Unavailable;
    default: return FileFailure::Other;
    }
}

bool Fail(const char* call, DWORD error = GetLastError()) {
    lastError = win32::ErrorText(call, error);
    lastFailure = FailureOf(error);
    return false;
}

std::optional<std::wstring> Wide(std::string_view path) {
    auto w = win32::ToWide(path);
    if (!w) {
        lastError = "not valid Shift_JIS: " + std::string(path);
        lastFailure = FileFailure::Other;
    }
    return w;
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }
    bool Close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

DWORD Attributes(std::string_view path) {
    auto w = Wide(path);
    return w ? GetFileAttributesW(w->c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool WriteAll(HANDLE h, const Bytes& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data.data() + done, chunk, &written, nullptr)) return Fail("WriteFile");
        done += written;
    }
    return true;
}

bool WriteNew(const std::wstring& path, const Bytes& data, bool flush) {
    Handle h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return Fail("CreateFileW");
    if (!WriteAll(h.get(), data)) return false;
    if (flush && !FlushFileBuffers(h.get())) return Fail("FlushFileBuffers");
    return h.Close() || Fail("CloseHandle");
}

}  // namespace

const std::string& LastError() { return lastError; }

FileFailure LastFileFailure() { return lastFailure; }

bool FileExists(std::string_view path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view path) {
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> StoredName(std::string_view path) {
    auto w = Wide(path);
    if (!w) return std::nullopt;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(w->c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return Fail("FindFirstFileW"), std::nullopt;
    FindClose(find);
    auto name = win32::FromWide(data.cFileName);
    if (!name) lastError = "stored name has no Shift_JIS form";
    return name;
}

namespace {

std::optional<Bytes> FailRead(const char* call, const std::wstring& path) {
    Fail(call);
    // Windows answers "access denied" for a folder opened as a file.
    DWORD a = GetFileAttributesW(path.c_str());
    if (lastFailure == FileFailure::AccessDenied && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
        lastFailure = FileFailure::IsFolder;
    return std::nullopt;
}

}  // namespace

std::optional<Bytes> ReadFileBytes(std::string_view path) {
    lastFailure = FileFailure::None;
    auto w = Wide(path);
    if (!w) return std::nullopt;
    Handle h(CreateFileW(w->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.valid()) return FailRead("CreateFileW", *w);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) return FailRead("GetFileSizeEx", *w);
    Bytes data(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(h.get(), data.data() + done, chunk, &got, nullptr)) return FailRead("ReadFile", *w);
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    data.resize(done);
    return data;
}

std::optional<MappedFile> MappedFile::Open(std::string_view path) {
    lastFailure = FileFailure::None;
    auto w = Wide(path);
    if (!w) return std::nullopt;
    Handle file(CreateFileW(w->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return FailRead("CreateFileW", *w), std::nullopt;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return Fail("GetFileSizeEx"), std::nullopt;
    if (size.QuadPart == 0) return MappedFile(nullptr, 0);
    const auto bytes = static_cast<std::size_t>(size.QuadPart);
    if (static_cast<long long>(bytes) != size.QuadPart)  // more than a 32-bit process can map
        return Fail("MapViewOfFile", ERROR_NOT_ENOUGH_MEMORY), std::nullopt;
    // The view keeps the mapping and the file open until it is unmapped.
    Handle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.valid()) return Fail("CreateFileMappingW"), std::nullopt;
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!view) return Fail("MapViewOfFile"), std::nullopt;
    return MappedFile(static_cast<const std::uint8_t*>(view), bytes);
}

MappedFile::~MappedFile() {
    if (data_) UnmapViewOfFile(data_);
}

bool WriteFileBytes(std::string_view path, const Bytes& data) {
    auto w = Wide(path);
    return w && WriteNew(*w, data, false);
}

bool ReplaceFileAtomically(std::string_view path, const Bytes& data) {
    lastFailure = FileFailure::None;
    auto w = Wide(path);
    if (!w) return false;
    std::wstring temp = *w + L".new";
    if (!WriteNew(temp, data, true)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    if (!MoveFileExW(temp.c_str(), w->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        return Fail("MoveFileExW", error);
    }
    return true;
}

bool ReplaceFileWith(std::string_view to, std::string_view from) {
    auto a = Wide(from);
    auto b = Wide(to);
    return a && b &&
           (MoveFileExW(a->c_str(), b->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
            Fail("MoveFileExW"));
}

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

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
    auto w = Wide(path);
    if (!w) return false;
    HANDLE h = mode == Mode::Read
                   ? CreateFileW(w->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
                   : CreateFileW(w->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("CreateFileW");
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

std::int64_t BlockFile::Size() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
    return size.QuadPart;
}

std::int64_t BlockFile::Read(void* buffer, std::size_t size) {
    if (!IsOpen()) return -1;
    std::size_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), static_cast<char*>(buffer) + done, chunk, &got, nullptr)) {
            Fail("ReadFile");
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

bool BlockFile::Write(const void* data, std::size_t size) {
    if (!IsOpen()) return Fail("WriteFile", ERROR_INVALID_HANDLE);
    const char* p = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), p + done, chunk, &written, nullptr)) return Fail("WriteFile");
        done += written;
    }
    return true;
}

bool BlockFile::Flush() { return IsOpen() && (FlushFileBuffers(AsHandle(handle_)) || Fail("FlushFileBuffers")); }

bool BlockFile::Close() {
    if (!IsOpen()) return true;
    HANDLE h = AsHandle(handle_);
    handle_ = kClosed;
    return CloseHandle(h) || Fail("CloseHandle");
}

bool CreateNewEmptyFile(std::string_view path) {
    auto w = Wide(path);
    if (!w) return false;
    Handle h(CreateFileW(w->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return Fail("CreateFileW");
    return h.Close() || Fail("CloseHandle");
}

bool DeleteFileAt(std::string_view path) {
    auto w = Wide(path);
    return w && (DeleteFileW(w->c_str()) || Fail("DeleteFileW"));
}

bool RenameFile(std::string_view from, std::string_view to) {
    auto a = Wide(from);
    auto b = Wide(to);
    return a && b && (MoveFileW(a->c_str(), b->c_str()) || Fail("MoveFileW"));
}

bool CreateDirectories(std::string_view path) {
    if (path.empty() || DirectoryExists(path)) return true;
    std::string parent = sjis::Parent(path);
    if (!parent.empty() && parent != path && !CreateDirectories(parent)) return false;
    auto w = Wide(path);
    if (!w) return false;
    if (CreateDirectoryW(w->c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    return Fail("CreateDirectoryW");
}

bool RemoveEmptyDirectory(std::string_view path) {
    auto w = Wide(path);
    return w && (RemoveDirectoryW(w->c_str()) || Fail("RemoveDirectoryW"));
}

std::vector<DirectoryEntry> ListDirectory(std::string_view pattern) {
    std::vector<DirectoryEntry> entries;
    auto w = Wide(pattern);
    if (!w) return entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(w->c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        Fail("FindFirstFileW");
        return entries;
    }
    do {
        std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        auto sjisName = win32::FromWide(name);
        if (!sjisName) continue;  // a name the program could not address
        entries.push_back({*sjisName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

std::optional<std::string> FolderIdentity(std::string_view path) {
    auto w = Wide(path);
    if (!w) return std::nullopt;
    // Backup semantics let CreateFile open a folder; following the junction
    // gives the folder it leads to.
    HANDLE h = CreateFileW(w->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("CreateFileW"), std::nullopt;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return Fail("GetFileInformationByHandle"), std::nullopt;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

std::string ProgramPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return win32::FromWide(buffer).value_or(std::string());
}

std::string ProgramFolder() { return sjis::FolderWithSeparator(ProgramPath()); }

std::string ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &size)) return {};
    return win32::FromWide(std::wstring_view(buffer, size)).value_or(std::string());
}

std::string TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return "C:\\";
    return win32::FromWide(std::wstring_view(buffer, n)).value_or("C:\\");
}

}  // namespace kumoya::platform
