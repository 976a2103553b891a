// Window services for code that talks to other programs through the window
// system: native handles, posting a message to another program's window,
// and waiting for an answer while the program's own messages keep flowing.
//
//   HWND-like handles are std::uintptr_t here (0: none).
//
//   ui::PostWindowMessage(sibling, 0x591);
//   bool answered = ui::PumpUntil([&] { return CommandWord() <= 0; }, 10000);
#pragma once

#include <cstdint>
#include <functional>

namespace kumoya::ui {

class Control;

// The native window of a realised control or form (an HWND on Windows), for
// services that need one; 0 where there is none (headless, or not shown yet).
std::uintptr_t NativeHandle(const Control& control);

// Posts a message to a window, of this program or another, and returns at
// once. Answers false when it could not be posted (no such window).
bool PostWindowMessage(std::uintptr_t window, unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

// Handles this program's messages (posted work, timers, painting, input)
// until `done` answers true, and answers true then. Answers false when
// `timeoutMs` passed first (a negative timeout waits without limit) or the
// run is ending. Sleeps while there is nothing to do.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace kumoya::ui
