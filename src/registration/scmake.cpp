#include "registration/scmake.h"

#include "platform/text.h"

namespace kumoya {
namespace {

constexpr std::int32_t kShowNormal = 5;      // SW_SHOW
constexpr std::int32_t kShowMaximized = 3;   // SW_SHOWMAXIMIZED
constexpr std::int32_t kShowMinNoActive = 7; // SW_SHOWMINNOACTIVE

constexpr std::uint16_t kScShift = 0x2000, kScCtrl = 0x4000, kScAlt = 0x8000;
constexpr std::uint8_t kHotShift = 0x01, kHotCtrl = 0x02, kHotAlt = 0x04;

}  // namespace

TSCMake::TSCMake() : links_(platform::CreateShellLinks()) {}
TSCMake::~TSCMake() = default;

std::int32_t TSCMake::CreateLink() {
    if (SCName.empty() || SCDir.empty() || LinkPath.empty()) return -1;
    if ((hotKey_ & 0xFF) == 0) hotKey_ = 0;

    // A drive root keeps its backslash ("C:\"), so none is added after it.
    std::string file = SCDir;
    if (sjis::LastSeparator(file) != file.size() - 1) file += '\\';
    file += SCName + ".lnk";

    platform::ShellLinkParts parts{LinkPath, WorkDir, Argument, IconPath, IconNo, showCommand_, hotKey_};
    return links_->Save(file, parts);
}

std::int32_t TSCMake::AnalizeLink(const std::string& path) {
    if (!sjis::EqualsIgnoreCase(sjis::Extension(path), ".lnk")) return -1;
    auto parts = links_->Load(path);
    if (!parts) return -1;

    std::string name = sjis::FileName(path);
    SCName = name.substr(0, name.size() - 4);
    SCDir = sjis::Parent(path);
    LinkPath = parts->target;
    WorkDir = parts->workingDirectory;
    showCommand_ = parts->showCommand;
    hotKey_ = parts->hotKey;
    IconPath = parts->iconPath;
    IconNo = parts->iconIndex;
    Argument = parts->arguments;
    return 0;
}

void TSCMake::SetWndState(WNDSTATE state) {
    switch (state) {
        case WNDSTATE::Maximize: showCommand_ = kShowMaximized; break;
        case WNDSTATE::Minimize: showCommand_ = kShowMinNoActive; break;
        default: showCommand_ = kShowNormal; break;
    }
}

WNDSTATE TSCMake::GetWndState() const {
    if (showCommand_ == kShowMaximized) return WNDSTATE::Maximize;
    if (showCommand_ == kShowMinNoActive) return WNDSTATE::Minimize;
    return WNDSTATE::Normal;
}

void TSCMake::SetSCKey(std::uint16_t shortCut) {
    // Virtual-key codes fit in a byte; bits above it would land among the
    // modifier bits of the hot key, so only the low byte is the key.
    std::uint16_t key = shortCut & 0xFF;
    if (key == 0) {
        hotKey_ = 0;
        return;
    }
    std::uint8_t modifiers = 0;
    if (shortCut & kScShift) modifiers |= kHotShift;
    if (shortCut & kScAlt) modifiers |= kHotAlt;
    if (shortCut & kScCtrl) modifiers |= kHotCtrl;
    hotKey_ = static_cast<std::uint16_t>(key | (modifiers << 8));
}

std::uint16_t TSCMake::GetSCKey() const {
    std::uint16_t shortCut = hotKey_ & 0xFF;
    std::uint8_t modifiers = static_cast<std::uint8_t>(hotKey_ >> 8);
    if (modifiers & kHotShift) shortCut |= kScShift;
    if (modifiers & kHotCtrl) shortCut |= kScCtrl;
    if (modifiers & kHotAlt) shortCut |= kScAlt;
    return shortCut;
}

}  // namespace kumoya
