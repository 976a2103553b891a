// The Win32 backend's services beside the peers: common dialogs and timers.
#pragma once

#include <windows.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/timer.h"

namespace kumoya::ui::win32 {

bool OpenFileDialog(Form* owner, OpenFileRequest& request);
bool BrowseForFolder(Form* owner, FolderBrowseRequest& request);

// Thread timers of the user-interface thread: their WM_TIMER carries no
// window, so any message loop (a system dialog's too) delivers them.
void StartTimer(Timer& timer);
void StopTimer(Timer& timer);

}  // namespace kumoya::ui::win32
