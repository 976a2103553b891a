// Talking to another program on the same desktop: a named block of shared
// memory and messages posted to its window. Tests put a double in its place
// that plays the other program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/service.h"

namespace kumoya::platform {

// A view of a named shared block; the block lives as long as some program
// holds it open.
class SharedMemory {
public:
    virtual ~SharedMemory() = default;
    virtual std::uint8_t* Data() = 0;
    virtual std::size_t Size() const = 0;
};

class InterProcess {
public:
    virtual ~InterProcess() = default;
    // Opens the block of that name with read and write access, creating it
    // (all zero) when no program has one; nullptr when it cannot be opened or
    // an existing block is smaller than `size`.
    virtual std::unique_ptr<SharedMemory> OpenSharedMemory(std::string_view name, std::size_t size) = 0;
    // Posts a message to a window given by its handle in the 32-bit form that
    // programs exchange. False when it could not be posted (no such window;
    // handle 0 is never a window).
    virtual bool PostWindowMessage(std::uint32_t window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) = 0;
    // Returns when a message arrives for this thread's windows or after
    // `milliseconds`, whichever is first.
    virtual void WaitBriefly(std::uint32_t milliseconds) = 0;
};
template <> InterProcess& Service<InterProcess>::Default();

inline InterProcess& SystemInterProcess() { return Service<InterProcess>::Get(); }

}  // namespace kumoya::platform
