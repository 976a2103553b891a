// Hints as tooltips: one tooltip control per form, with a tool for each
// control on it that has a hint, kept up to date as hints change.
#include <windows.h>
#include <commctrl.h>

#include "platform/ui/form.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui::win32 {

FormTooltips::FormTooltips(HWND form) : form_(form) {}

FormTooltips::~FormTooltips() {
    if (tip_) DestroyWindow(tip_);
}

bool FormTooltips::create() {
    if (tip_) return true;
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    if (!tip_) return false;  // the window works on without its hints
    // Long hints wrap instead of running across the screen.
    SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, Scale(400, DpiOf(form_)));
    return true;
}

void FormTooltips::set(HWND control, const std::string& hint) {
    if (!control) return;
    // The version-1 size: every common-controls version takes it.
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = form_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    const bool known = tools_.count(control) != 0;
    if (hint.empty()) {
        if (known && tip_) SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tools_.erase(control);
        return;
    }
    std::wstring text = Wide(hint);
    tool.lpszText = text.data();
    if (known) {
        SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    } else if (create() && SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool))) {
        tools_.insert(control);
    }
}

HWND TooltipOf(const Form& form) {
    auto* peer = dynamic_cast<ContainerPeer*>(form.peer());
    FormTooltips* tips = peer ? peer->tooltips(false) : nullptr;
    return tips ? tips->window() : nullptr;
}

}  // namespace kumoya::ui::win32
