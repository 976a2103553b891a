// Little-endian fields of the fixed-size records we download and keep: the
// version record and the advertisement record. Every access names its offset
// and width, and no read or write leaves the record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace kumoya::recordbytes {

template <std::size_t N>
using Image = std::array<std::uint8_t, N>;

template <std::size_t N>
std::int32_t GetInt32(const Image<N>& r, std::size_t at) {
    static_assert(N >= 4);
    std::uint32_t v = static_cast<std::uint32_t>(r.at(at)) | static_cast<std::uint32_t>(r.at(at + 1)) << 8 |
                      static_cast<std::uint32_t>(r.at(at + 2)) << 16 | static_cast<std::uint32_t>(r.at(at + 3)) << 24;
    return static_cast<std::int32_t>(v);
}

template <std::size_t N>
void PutInt32(Image<N>& r, std::size_t at, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) r.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// An IEEE double, stored little-endian.
template <std::size_t N>
double GetDouble(const Image<N>& r, std::size_t at) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(r.at(at + i)) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

template <std::size_t N>
void PutDouble(Image<N>& r, std::size_t at, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i) r.at(at + i) = static_cast<std::uint8_t>(bits >> (8 * i));
}

template <std::size_t W, std::size_t N>
Image<W> GetBlock(const Image<N>& r, std::size_t at) {
    static_assert(W <= N);
    Image<W> out{};
    if (at + W <= N) std::memcpy(out.data(), r.data() + at, W);
    return out;
}

template <std::size_t W, std::size_t N>
void PutBlock(Image<N>& r, std::size_t at, const Image<W>& block) {
    static_assert(W <= N);
    if (at + W <= N) std::memcpy(r.data() + at, block.data(), W);
}

// The text of a zero-ended field. A field without its zero byte gives what a
// zero-ended field of that width can hold, never split inside a double-byte
// character, and never anything beyond the field.
template <std::size_t N>
std::string GetText(const Image<N>& r, std::size_t at, std::size_t width) {
    if (at > N || width > N - at || width == 0) return {};
    const char* begin = reinterpret_cast<const char*>(r.data() + at);
    const void* nul = std::memchr(begin, 0, width);
    if (nul != nullptr) return std::string(begin, static_cast<std::size_t>(static_cast<const char*>(nul) - begin));
    return std::string(sjis::CutToBytes(std::string_view(begin, width), width - 1));
}

// Writes a text into its field, zero-ended, the rest of the field zeroed. A
// text too long for the field is cut so that its zero byte fits, never inside
// a double-byte character.
template <std::size_t N>
void PutText(Image<N>& r, std::size_t at, std::size_t width, std::string_view text) {
    if (at > N || width > N - at || width == 0) return;
    std::string_view fitted = sjis::CutToBytes(text, width - 1);
    std::memset(r.data() + at, 0, width);
    std::memcpy(r.data() + at, fitted.data(), fitted.size());
}

}  // namespace kumoya::recordbytes
