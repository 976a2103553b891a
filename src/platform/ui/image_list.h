// An image list of icons, shared by menus and (small-image) list views. It
// owns its icons. An empty icon still takes its index, so that the images
// added after a file without an icon keep their numbers; it shows as no image.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/icon.h"

namespace kumoya::ui {

class ImageList {
public:
    explicit ImageList(int width = 16, int height = 16) : width_(width), height_(height) {}
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    // Image size in 96-DPI pixels.
    int width() const { return width_; }
    int height() const { return height_; }

    // Appends the icon and answers its index.
    int add(platform::Icon icon) {
        icons_.push_back(std::move(icon));
        ++version_;
        return count() - 1;
    }
    // Puts an icon in place of the one at `index` (an index outside the list
    // changes nothing).
    void replace(int index, platform::Icon icon) {
        if (index < 0 || index >= count()) return;
        icons_[static_cast<std::size_t>(index)] = std::move(icon);
        ++version_;
        ++rebuilds_;
    }
    void clear() {
        icons_.clear();
        ++version_;
        ++rebuilds_;
    }
    int count() const { return static_cast<int>(icons_.size()); }
    // The icon at index, or null when the index is outside the list.
    const platform::Icon* icon(int index) const {
        if (index < 0 || index >= count()) return nullptr;
        return &icons_[static_cast<std::size_t>(index)];
    }
    // Changes with every change of the contents; peers that cache native
    // images compare it.
    std::uint64_t version() const { return version_; }
    // Changes with every change other than an append: a peer that has the
    // first n images and sees the same value only needs to append the rest.
    std::uint64_t layoutVersion() const { return rebuilds_; }

private:
    int width_;
    int height_;
    std::vector<platform::Icon> icons_;
    std::uint64_t version_ = 0;
    std::uint64_t rebuilds_ = 0;
};

}  // namespace kumoya::ui
