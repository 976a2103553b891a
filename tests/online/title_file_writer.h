// Builds title files byte by byte at the offsets of the file layout, written
// out here as numbers on purpose: it checks the reader against the layout,
// not against the reader's own constants. Used by the tests, the benchmark
// and the fuzzer's seed database.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kumoya::testsupport {

struct TitleRecord {
    std::int32_t entryNo = 0;
    std::string title;
    std::string fileName;
    std::string reservedText;
    std::string category;
    std::string supportUrl;
    std::array<std::uint8_t, 256> reservedBlock{};
    std::vector<std::string> exts;
    std::optional<std::int32_t> extCount;  // stored instead of exts.size()
};

class TitleFileWriter {
public:
    // The header (272 bytes) and the entry count at byte 272.
    explicit TitleFileWriter(std::int32_t entryCount, std::uint64_t value = 0, std::int32_t number = 0,
                             std::uint8_t blockFill = 0)
        : bytes_(276, 0) {
        for (int i = 0; i < 8; ++i) bytes_[i] = static_cast<std::uint8_t>(value >> (8 * i));
        PutInt(8, number);
        for (std::size_t i = 12; i < 268; ++i) bytes_[i] = blockFill;
        PutInt(272, entryCount);
    }

    TitleFileWriter& Add(const TitleRecord& r) {
        std::size_t base = bytes_.size();
        bytes_.resize(base + 1408, 0);
        PutInt(base + 0, r.entryNo);
        PutText(base + 4, r.title, 40);
        PutText(base + 44, r.fileName, 40);
        PutText(base + 84, r.reservedText, 512);
        PutText(base + 596, r.category, 40);
        PutText(base + 636, r.supportUrl, 512);
        for (std::size_t i = 0; i < 256; ++i) bytes_[base + 1148 + i] = r.reservedBlock[i];
        PutInt(base + 1404, r.extCount.value_or(static_cast<std::int32_t>(r.exts.size())));
        for (const std::string& ext : r.exts) {
            std::size_t at = bytes_.size();
            bytes_.resize(at + 16, 0);
            PutText(at, ext, 16);
        }
        return *this;
    }

    // The bytes so far; a text as wide as its field is written without its
    // zero byte, which is how damaged fields are made.
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    void PutInt(std::size_t at, std::int32_t v) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
    void PutText(std::size_t at, const std::string& text, std::size_t width) {
        for (std::size_t i = 0; i < text.size() && i < width; ++i) bytes_[at + i] = static_cast<std::uint8_t>(text[i]);
    }

    std::vector<std::uint8_t> bytes_;
};

}  // namespace kumoya::testsupport
