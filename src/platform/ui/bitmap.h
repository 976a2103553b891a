// Bitmaps that images and speed buttons show.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kumoya::ui {

// A Windows bitmap (the .bmp format). It carries where it comes from, the
// file's bytes or a resource name, and its size; the Win32 backend makes the
// native bitmap from that when it draws.
class Bitmap {
public:
    Bitmap() = default;
    // A .bmp file on disk; empty when it cannot be read or is no bitmap.
    static Bitmap FromFile(std::string_view path);
    // The bytes of a .bmp file; empty when they are not a usable bitmap.
    static Bitmap FromBytes(std::vector<std::uint8_t> bytes, std::string source = "");
    // A bitmap resource of the program (Windows only draws it); the size is
    // given because the Linux build cannot look.
    static Bitmap FromResource(std::string name, int width, int height);

    bool empty() const { return width_ <= 0 || height_ <= 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Where it came from: the path, the resource name, or what FromBytes was told.
    const std::string& source() const { return source_; }
    bool isResource() const { return resource_; }
    // The whole .bmp file (empty for a resource).
    const std::vector<std::uint8_t>& bytes() const;
    bool operator==(const Bitmap& other) const;

private:
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    std::string source_;
    bool resource_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kumoya::ui
