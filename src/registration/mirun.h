// Registration with the sibling sticky-note program. It publishes a named
// shared block; the launcher writes commands into it and posts a message to
// the program's window after each:
//
//   offset   0  int32   window the messages go to (the program's; ours while registering)
//   offset   4  int32   command word: 0 idle, > 0 a command, the program sets it to 0 or below when done
//   offset   8  256     text area: the program's version ("Ver1.50"); our path for command 1
//   offset 264  256     data area of the command
//
// The wizard calls MirunReady() to decide whether to offer the registration
// and RegisterWithMirun() when the user asked for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kumoya {

inline constexpr char kMirunBlockName[] = "Mirun";
inline constexpr std::size_t kMirunBlockSize = 520;
inline constexpr std::size_t kMirunTextOffset = 8;
inline constexpr std::size_t kMirunDataOffset = 264;
inline constexpr std::size_t kMirunAreaSize = 256;
inline constexpr std::uint32_t kMirunMessage = 0x591;  // WM_USER + 401
// How long each command may take the program before we give up on it.
inline constexpr std::uint32_t kMirunAnswerLimitMs = 5000;

inline constexpr char kMsgMirunVersion[] = "vorのMirundoのVersionを1.33以上にしてください!!";
inline constexpr char kCaptionMirun[] = "vorのMirundoへの登録";

// The block's bytes as read: ready when the command word is 0 and the text
// area begins with "Ver". `size` below the block's size is never ready.
bool MirunBlockReady(const std::uint8_t* block, std::size_t size);

enum class MirunVersionCheck {
    Supported,   // 1.33 or later
    TooOld,      // below 1.33
    Unreadable,  // not a decimal number, or no terminating zero within the text area
};
// The version after "Ver" in the text area, read as a decimal number
// ("Ver1.4" is 1.4, which is later than 1.33).
MirunVersionCheck CheckMirunVersion(const std::uint8_t* block, std::size_t size);

enum class MirunResult {
    NotReady,     // no program, or it is busy: nothing was done
    OldVersion,   // the version message was shown; nothing was sent
    PathTooLong,  // our path does not fit the text area; nothing was sent
    NoAnswer,     // a command was not posted or not answered in time; the rest was left out
    Registered,   // every command was answered
};

// Whether the program is there and idle (the wizard shows its registration
// controls only then).
bool MirunReady();

// The registration, done at once, with `wizardWindow` (the wizard's native
// window handle) standing in for the program's window while it runs. Each
// wait processes the application's pending messages and ends after
// `answerLimitMs` at the latest, or as soon as `giveUp` answers true (the
// user left the wizard). Shows the version message (stop icon) for a
// version below 1.33 or one that cannot be read; nothing else is shown.
MirunResult RegisterWithMirun(std::uintptr_t wizardWindow, std::string_view launcherPath,
                              std::uint32_t answerLimitMs = kMirunAnswerLimitMs,
                              const std::function<bool()>& giveUp = {});

}  // namespace kumoya
