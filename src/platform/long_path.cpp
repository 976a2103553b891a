#include "platform/long_path.h"

#include "platform/files.h"
#include "platform/text.h"

namespace kumoya::platform {

std::string LongPathName(std::string_view path) {
    if (path.empty()) return {};
    std::string result = StoredName(path).value_or(std::string());
    std::string dir(path);
    for (;;) {
        std::string parent = sjis::Parent(dir);
        if (parent.empty() || parent == dir) {
            // Nothing above, or a drive root whose parent is itself; the
            // root is never found, so it is kept as written.
            if (!parent.empty()) result = parent + (parent.back() == '\\' ? "" : "\\") + result;
            break;
        }
        dir = parent;
        if (auto stored = StoredName(dir)) {
            result = *stored + "\\" + result;
        } else {
            result = dir + (dir.back() == '\\' ? "" : "\\") + result;
            break;
        }
    }
    return result;
}

}  // namespace kumoya::platform
