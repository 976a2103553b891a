// Linux has neither the other program nor its windows: named blocks are kept
// within this process (alive while a view of them is open, as on Windows),
// and no window ever receives a message.
#include "platform/interprocess.h"

#include <time.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kumoya::platform {
namespace {

struct Block {
    // 8-byte aligned storage, so the words inside can be read atomically.
    std::vector<std::uint64_t> words;
    std::size_t size = 0;
};

class BlockView : public SharedMemory {
public:
    BlockView(std::shared_ptr<Block> block, std::size_t size) : block_(std::move(block)), size_(size) {}
    std::uint8_t* Data() override { return reinterpret_cast<std::uint8_t*>(block_->words.data()); }
    std::size_t Size() const override { return size_; }

private:
    std::shared_ptr<Block> block_;
    std::size_t size_;
};

class PosixInterProcess : public InterProcess {
public:
    std::unique_ptr<SharedMemory> OpenSharedMemory(std::string_view name, std::size_t size) override {
        if (size == 0) return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        std::shared_ptr<Block> block = blocks_[std::string(name)].lock();
        if (!block) {
            block = std::make_shared<Block>();
            block->words.assign((size + 7) / 8, 0);
            block->size = size;
            blocks_[std::string(name)] = block;
        } else if (block->size < size) {
            return nullptr;
        }
        return std::make_unique<BlockView>(std::move(block), size);
    }

    bool PostWindowMessage(std::uint32_t, std::uint32_t, std::uintptr_t, std::intptr_t) override { return false; }

    void WaitBriefly(std::uint32_t milliseconds) override {
        timespec t{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
        nanosleep(&t, nullptr);
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<Block>> blocks_;
};

}  // namespace

template <>
InterProcess& Service<InterProcess>::Default() {
    static PosixInterProcess service;
    return service;
}

}  // namespace kumoya::platform
