// A small uncompressed AVI clip for the media tests: `frames` frames of
// width x height pixels, 24-bit, at `fps` frames a second, with an index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kumoya::testing {

inline std::vector<std::uint8_t> MakeAvi(int width, int height, int frames, int fps) {
    std::vector<std::uint8_t> out;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto fourcc = [&](const char* c) { out.insert(out.end(), c, c + 4); };
    auto patch = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::uint32_t stride = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
    const std::uint32_t frameBytes = stride * static_cast<std::uint32_t>(height);

    fourcc("RIFF");
    std::size_t riffSize = out.size();
    u32(0);
    fourcc("AVI ");

    fourcc("LIST");
    std::size_t hdrlSize = out.size();
    u32(0);
    fourcc("hdrl");
    fourcc("avih");
    u32(56);
    u32(static_cast<std::uint32_t>(1000000 / fps));  // microseconds per frame
    u32(frameBytes * static_cast<std::uint32_t>(fps));
    u32(0);
    u32(0x10);  // has an index
    u32(static_cast<std::uint32_t>(frames));
    u32(0);
    u32(1);  // streams
    u32(frameBytes);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    for (int i = 0; i < 4; ++i) u32(0);

    fourcc("LIST");
    std::size_t strlSize = out.size();
    u32(0);
    fourcc("strl");
    fourcc("strh");
    u32(56);
    fourcc("vids");
    fourcc("DIB ");
    u32(0);
    u16(0);
    u16(0);
    u32(0);
    u32(1);  // scale
    u32(static_cast<std::uint32_t>(fps));  // rate
    u32(0);
    u32(static_cast<std::uint32_t>(frames));
    u32(frameBytes);
    u32(0xFFFFFFFF);
    u32(0);
    u16(0);
    u16(0);
    u16(static_cast<std::uint16_t>(width));
    u16(static_cast<std::uint16_t>(height));
    fourcc("strf");
    u32(40);
    u32(40);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(1);
    u16(24);
    u32(0);
    u32(frameBytes);
    for (int i = 0; i < 4; ++i) u32(0);
    patch(strlSize, static_cast<std::uint32_t>(out.size() - strlSize - 4));
    patch(hdrlSize, static_cast<std::uint32_t>(out.size() - hdrlSize - 4));

    fourcc("LIST");
    std::size_t moviSize = out.size();
    u32(0);
    std::size_t moviStart = out.size();
    fourcc("movi");
    std::vector<std::uint32_t> offsets;
    for (int f = 0; f < frames; ++f) {
        offsets.push_back(static_cast<std::uint32_t>(out.size() - moviStart));
        fourcc("00db");
        u32(frameBytes);
        for (std::uint32_t i = 0; i < frameBytes; ++i) {
            // A colour band that moves with the frame.
            out.push_back(static_cast<std::uint8_t>((i / 3 + static_cast<std::uint32_t>(f) * 7) * 16));
        }
    }
    patch(moviSize, static_cast<std::uint32_t>(out.size() - moviSize - 4));

    fourcc("idx1");
    u32(static_cast<std::uint32_t>(16 * frames));
    for (int f = 0; f < frames; ++f) {
        fourcc("00db");
        u32(0x10);  // key frame
        u32(offsets[static_cast<std::size_t>(f)]);
        u32(frameBytes);
    }
    patch(riffSize, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

}  // namespace kumoya::testing
