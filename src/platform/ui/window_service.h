// Window services: native handles, the display's colour depth, and waiting
// for something while the program's own messages keep flowing. (Messages to
// another program's window go through platform/interprocess.h.)
//
//   HWND-like handles are std::uintptr_t here (0: none).
//
//   bool answered = ui::PumpUntil([&] { return CommandWord() <= 0; }, 10000);
#pragma once

#include <cstdint>
#include <functional>

namespace kumoya::ui {

class Control;

// The native window of a realised control or form (an HWND on Windows), for
// services that need one; 0 where there is none (headless, or not shown yet).
std::uintptr_t NativeHandle(const Control& control);

// Bits per pixel of the display, all colour planes together: the display
// shows 2 to this power colours.
int ScreenColorBits();

// Handles this program's messages (posted work, timers, painting, input)
// until `done` answers true, and answers true then. Answers false when
// `timeoutMs` passed first (a negative timeout waits without limit) or the
// run is ending. Sleeps while there is nothing to do.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace kumoya::ui
