// The shortcut component: holds the parts of one shortcut file as properties.
// A caller fills them and calls CreateLink, or calls AnalizeLink and reads them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/shelllink.h"

namespace kumoya {

enum class WNDSTATE { Normal = 0, Maximize = 1, Minimize = 2 };

class TSCMake {
public:
    TSCMake();
    ~TSCMake();
    TSCMake(const TSCMake&) = delete;
    TSCMake& operator=(const TSCMake&) = delete;

    std::string SCDir;     // folder of the shortcut file, no trailing '\' except a drive root
    std::string SCName;    // file name without folder and without ".lnk"
    std::string LinkPath;  // target
    std::string WorkDir;
    std::string IconPath;
    std::int32_t IconNo = 0;
    std::string Argument;

    // Writes SCDir\SCName.lnk. -1 when SCName, SCDir or LinkPath is empty,
    // otherwise the system's result of the last step (negative = failure).
    std::int32_t CreateLink();
    // Reads a ".lnk" file into the properties: 0, or -1 with the properties
    // left as they were.
    std::int32_t AnalizeLink(const std::string& path);

    void SetWndState(WNDSTATE state);
    WNDSTATE GetWndState() const;
    // The framework's short-cut word: key in the low byte, 0x2000 Shift,
    // 0x4000 Ctrl, 0x8000 Alt.
    void SetSCKey(std::uint16_t shortCut);
    std::uint16_t GetSCKey() const;

    // The stored shell-link values behind WndState and SCKey.
    std::int32_t ShowCommand() const { return showCommand_; }
    std::uint16_t HotKey() const { return hotKey_; }

private:
    std::unique_ptr<platform::ShellLinks> links_;
    std::int32_t showCommand_ = 0;
    std::uint16_t hotKey_ = 0;
};

}  // namespace kumoya
