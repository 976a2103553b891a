#include "registration/mirun.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "platform/datetime.h"
#include "platform/interprocess.h"
#include "platform/ui/application.h"

namespace kumoya {
namespace {

constexpr std::size_t kWindowOffset = 0;
constexpr std::size_t kCommandOffset = 4;

std::int32_t ReadInt(const std::uint8_t* block, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, block + offset, 4);
    return v;
}

void WriteInt(std::uint8_t* block, std::size_t offset, std::int32_t v) { std::memcpy(block + offset, &v, 4); }

// The command word changes under us (the other program writes it): read and
// write it as one access.
std::int32_t Command(std::uint8_t* block) {
    return std::atomic_ref<std::int32_t>(*reinterpret_cast<std::int32_t*>(block + kCommandOffset))
        .load(std::memory_order_acquire);
}
void SetCommand(std::uint8_t* block, std::int32_t command) {
    std::atomic_ref<std::int32_t>(*reinterpret_cast<std::int32_t*>(block + kCommandOffset))
        .store(command, std::memory_order_release);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// -1, 0, 1 as the decimal number int.frac compares with 1.33.
int CompareWithOneThirtyThree(std::string_view intDigits, std::string_view fracDigits) {
    while (intDigits.size() > 1 && intDigits.front() == '0') intDigits.remove_prefix(1);
    if (intDigits.empty()) intDigits = "0";
    if (intDigits.size() != 1) return 1;
    if (intDigits[0] != '1') return intDigits[0] < '1' ? -1 : 1;
    std::string frac(fracDigits), limit = "33";
    std::size_t n = std::max(frac.size(), limit.size());
    frac.resize(n, '0');
    limit.resize(n, '0');
    return frac < limit ? -1 : frac == limit ? 0 : 1;
}

}  // namespace

bool MirunBlockReady(const std::uint8_t* block, std::size_t size) {
    if (!block || size < kMirunBlockSize) return false;
    return ReadInt(block, kCommandOffset) == 0 && std::memcmp(block + kMirunTextOffset, "Ver", 3) == 0;
}

MirunVersionCheck CheckMirunVersion(const std::uint8_t* block, std::size_t size) {
    if (!block || size < kMirunBlockSize) return MirunVersionCheck::Unreadable;
    const char* area = reinterpret_cast<const char*>(block + kMirunTextOffset);
    const void* zero = std::memchr(area, 0, kMirunAreaSize);
    if (!zero) return MirunVersionCheck::Unreadable;
    std::string_view text(area, static_cast<std::size_t>(static_cast<const char*>(zero) - area));
    if (text.substr(0, 3) != "Ver") return MirunVersionCheck::Unreadable;
    text.remove_prefix(3);
    // A decimal number, blanks around it allowed: [sign] digits [. digits].
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) ++i;
    std::string_view intDigits = text.substr(0, i), fracDigits;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && IsDigit(text[j])) ++j;
        fracDigits = text.substr(i + 1, j - i - 1);
        i = j;
    }
    if (i != text.size() || (intDigits.empty() && fracDigits.empty())) return MirunVersionCheck::Unreadable;
    if (negative) return MirunVersionCheck::TooOld;  // -0 too: no version is below 1
    return CompareWithOneThirtyThree(intDigits, fracDigits) < 0 ? MirunVersionCheck::TooOld
                                                                 : MirunVersionCheck::Supported;
}

bool MirunReady() {
    auto block = platform::SystemInterProcess().OpenSharedMemory(kMirunBlockName, kMirunBlockSize);
    return block && MirunBlockReady(block->Data(), block->Size());
}

MirunResult RegisterWithMirun(std::uintptr_t wizardWindow, std::string_view launcherPath,
                              std::uint32_t answerLimitMs, const std::function<bool()>& giveUp) {
    platform::InterProcess& ipc = platform::SystemInterProcess();
    auto mapping = ipc.OpenSharedMemory(kMirunBlockName, kMirunBlockSize);
    if (!mapping || !MirunBlockReady(mapping->Data(), mapping->Size())) return MirunResult::NotReady;
    std::uint8_t* block = mapping->Data();

    if (CheckMirunVersion(block, mapping->Size()) != MirunVersionCheck::Supported) {
        // An unreadable version cannot be shown to be recent enough either.
        ui::App().messageBox(kMsgMirunVersion, kCaptionMirun, ui::MsgIcon::Error);
        return MirunResult::OldVersion;
    }
    // The path goes with its terminating zero into the 256-byte text area; a
    // longer one would run into the data area (or past the block).
    if (launcherPath.size() >= kMirunAreaSize) return MirunResult::PathTooLong;

    auto sibling = static_cast<std::uint32_t>(ReadInt(block, kWindowOffset));
    WriteInt(block, kWindowOffset, static_cast<std::int32_t>(static_cast<std::uint32_t>(wizardWindow)));

    // Posts the command and waits, handling our own messages, until the
    // program has set the command word to 0 or below.
    auto send = [&](std::int32_t command) {
        SetCommand(block, command);
        if (!ipc.PostWindowMessage(sibling, kMirunMessage, 0, 0)) return false;
        platform::Clock& clock = platform::SystemClock();
        std::uint32_t start = clock.TickCount();
        while (Command(block) > 0) {
            if (clock.TickCount() - start >= answerLimitMs) return false;
            ui::App().processMessages();
            if ((giveUp && giveUp()) || ui::App().terminated()) return false;
            ipc.WaitBriefly(10);
        }
        return true;
    };

    std::memcpy(block + kMirunTextOffset, launcherPath.data(), launcherPath.size());
    block[kMirunTextOffset + launcherPath.size()] = 0;
    static constexpr char kName[] = "Kumoya";
    std::memcpy(block + kMirunDataOffset, kName, sizeof kName);
    bool answered = send(1);

    if (answered) {
        const std::int32_t layout[4] = {35, 100, 175, 40};
        for (int i = 0; i < 4; ++i) WriteInt(block, kMirunDataOffset + 4 * static_cast<std::size_t>(i), layout[i]);
        answered = send(2);
    }
    if (answered) {
        std::memcpy(block + kMirunDataOffset, "ZELKDOC", 8);
        answered = send(13);
    }
    // The closing command is sent whatever happened, so the block is idle
    // again for the program.
    SetCommand(block, 0);
    ipc.PostWindowMessage(sibling, kMirunMessage, 0, 0);
    return answered ? MirunResult::Registered : MirunResult::NoAnswer;
}

}  // namespace kumoya
