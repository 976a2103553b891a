// Builds version records and advertisement files byte by byte at the offsets
// of their layouts, written out here as numbers on purpose: they check the
// readers against the layout, not against the readers' own constants. Used
// by the unit tests, the fuzzer's seeds and the end-to-end tests' update
// site.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kumoya::testsupport {

namespace recordwriter {
inline void PutInt(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}
inline void PutDouble(std::vector<std::uint8_t>& b, std::size_t at, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}
// A text as wide as its field is written without its zero byte, which is how
// damaged fields are made.
inline void PutText(std::vector<std::uint8_t>& b, std::size_t at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < text.size() && i < width; ++i) b[at + i] = static_cast<std::uint8_t>(text[i]);
}
inline std::int32_t GetInt(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}
inline double GetDouble(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<std::uint64_t>(b[at + i]) << (8 * i);
    double v;
    std::memcpy(&v, &u, 8);
    return v;
}
}  // namespace recordwriter

// The version record ("zelkova.net", "update.net"): 1648 bytes.
struct VersionRecord {
    double lastCheck = 0;
    std::int32_t recordVersion = 0;
    double nextCheck = 0;
    std::int32_t titleVersion = 0;
    std::int32_t titleFileCount = 0;
    std::string titleBaseUrl;
    std::int32_t cmVersion = 0;
    std::int32_t cmLastNumber = -1;
    std::string cmBaseUrl;
    std::int32_t programVersion = 0;
    std::string updaterUrl;
    // Filled into the carried values and the padding, so that a reader that
    // drops them is caught.
    std::uint8_t carriedFill = 0;

    std::vector<std::uint8_t> Bytes() const {
        using namespace recordwriter;
        std::vector<std::uint8_t> b(1648, 0);
        for (std::size_t at : {24, 40, 568, 584, 1112, 1128})
            for (std::size_t i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(carriedFill + i);
        for (std::size_t at : {12, 36, 564, 580, 1108, 1124})
            for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(carriedFill ^ 0x5A);
        PutDouble(b, 0, lastCheck);
        PutInt(b, 8, recordVersion);
        PutDouble(b, 16, nextCheck);
        PutInt(b, 32, titleVersion);
        PutInt(b, 48, titleFileCount);
        PutText(b, 52, titleBaseUrl, 512);
        PutInt(b, 576, cmVersion);
        PutInt(b, 592, cmLastNumber);
        PutText(b, 596, cmBaseUrl, 512);
        PutInt(b, 1120, programVersion);
        PutText(b, 1136, updaterUrl, 512);
        return b;
    }
};

// An advertisement file ("NNN\zelkova.cm"): the 2104-byte record, then the clip.
struct AdvertisementFile {
    std::string name;
    std::int32_t clickCount = 0;
    double displayMs = 0;
    std::int32_t linkCount = 0;
    std::array<std::string, 3> links;
    double pauseSeconds = 0;
    std::vector<std::uint8_t> clip;
    std::int32_t clipSizeField = -1;  // stored instead of clip.size() when 0 or more
    std::uint8_t carriedFill = 0;     // the carried values and the padding

    std::vector<std::uint8_t> Bytes() const {
        using namespace recordwriter;
        std::vector<std::uint8_t> b(2104, 0);
        for (std::size_t i = 1824; i < 2096; ++i) b[i] = static_cast<std::uint8_t>(carriedFill + i);
        for (std::size_t at : {260, 1812, 2100})
            for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(carriedFill ^ 0xA5);
        PutText(b, 0, name, 256);
        PutInt(b, 256, clickCount);
        PutDouble(b, 264, displayMs);
        PutInt(b, 272, linkCount);
        PutText(b, 276, links[0], 512);
        PutText(b, 788, links[1], 512);
        PutText(b, 1300, links[2], 512);
        PutDouble(b, 1816, pauseSeconds);
        PutInt(b, 2096, clipSizeField >= 0 ? clipSizeField : static_cast<std::int32_t>(clip.size()));
        b.insert(b.end(), clip.begin(), clip.end());
        return b;
    }
};

// A clip of `size` bytes whose content tells where each byte stood.
inline std::vector<std::uint8_t> PatternClip(std::size_t size) {
    std::vector<std::uint8_t> clip;
    clip.reserve(size);
    for (std::size_t i = 0; i < size; ++i) clip.push_back(static_cast<std::uint8_t>((i * 131) ^ (i >> 16)));
    return clip;
}

// The smallest file that passes for a Windows program by its headers.
inline std::vector<std::uint8_t> MinimalProgramImage(std::size_t peAt = 0x80, std::size_t size = 0x200) {
    std::vector<std::uint8_t> b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    recordwriter::PutInt(b, 0x3C, static_cast<std::int32_t>(peAt));
    b[peAt] = 'P';
    b[peAt + 1] = 'E';
    return b;
}

}  // namespace kumoya::testsupport
