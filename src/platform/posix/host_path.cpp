#include "platform/posix/host_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "platform/codec.h"

namespace kumoya::platform::posix {
namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The stored name in `folder` that equals `name` without regard to case.
std::optional<std::string> FindFolded(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* e = readdir(dir)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::optional<std::string> ToHostPath(std::string_view windowsPath) {
    auto utf8 = SjisToUtf8(windowsPath);
    if (!utf8) return std::nullopt;
    std::string p = *utf8;
    std::string out;
    if (p.size() >= 2 && p[1] == ':') {
        if (p[0] != 'Z' && p[0] != 'z') return std::nullopt;
        p = p.substr(2);
        out = "/";
    } else if (!p.empty() && (p[0] == '\\' || p[0] == '/')) {
        out = "/";
    }
    // Walk the components, resolving each against what is on disk.
    std::size_t i = 0;
    bool firstComponent = true;
    while (i <= p.size()) {
        std::size_t j = p.find_first_of("\\/", i);
        if (j == std::string::npos) j = p.size();
        std::string part = p.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") {
            if (j == p.size()) break;
            continue;
        }
        std::string base = out;
        if (!firstComponent && !base.empty() && base.back() != '/') base += '/';
        std::string candidate = base;
        candidate.append(part);
        if (part != ".." && !Exists(candidate)) {
            if (auto stored = FindFolded(base.empty() ? "." : base, part)) {
                candidate = base;
                candidate.append(*stored);
            }
        }
        out = std::move(candidate);
        firstComponent = false;
        if (j == p.size()) break;
    }
    if (out.empty()) out = ".";
    return out;
}

std::optional<std::string> FromHostPath(std::string_view hostPath) {
    std::string p(hostPath);
    for (char& c : p)
        if (c == '/') c = '\\';
    if (!p.empty() && p[0] == '\\') p = "Z:" + p;
    return Utf8ToSjis(p);
}

}  // namespace kumoya::platform::posix
