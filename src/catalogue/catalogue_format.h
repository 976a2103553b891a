// The catalogue file as stored: a plain sequence of little-endian values and
// fixed-width Shift_JIS fields, in six sections (header, programs,
// categories, extensions, launch history, parameter store). This level knows
// the layout only; TNFile turns the stored records into its lists and back.
//
// Reading is two steps: Scan walks the counts once and checks that every
// section fits in the bytes given; afterwards the records can be read in
// place through the views below without further checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/records.h"
#include "platform/text.h"

namespace kumoya::catalogue_format {

inline constexpr std::size_t kHeaderSize = 1088;
inline constexpr std::size_t kProgramSize = 1104;
inline constexpr std::size_t kExtFixedSize = 556;  // up to and including the count
inline constexpr std::size_t kHistEntryFixedSize = 12;
inline constexpr std::size_t kItemSize = 512;
inline constexpr std::size_t kItemWithParamSize = 512 + 80;

struct StoredExt {
    std::int32_t Id = 0;
    std::string Name;
    std::int32_t MenuFlag = 0;
    SpareBytes512 SpareArea{};
    std::vector<std::int32_t> ProgIds;  // as stored, duplicates and all
};

struct StoredItem {
    std::string Text;
    std::string Param;  // meaningful when the entry has parameters
};

struct StoredHistEntry {
    std::int32_t ProgId = 0;
    // As stored: 1 when every item carries a parameter text; any other value
    // means plain items.
    std::int32_t HasParams = 0;
    std::vector<StoredItem> Items;  // newest first
};

struct StoredHistList {
    std::int32_t Limit = 0;  // as stored, negative values included
    std::vector<StoredHistEntry> Entries;
};

struct Image {
    THead Head;
    std::vector<TProg> Progs;
    std::vector<StoredExt> Categories;
    std::vector<StoredExt> Extensions;
    StoredHistList History;
    StoredHistList ExtParams;
    std::size_t TrailingBytes = 0;  // after the last section, ignored; never written
};

struct Fault {
    std::size_t Offset = 0;
    std::string What;  // English, for the catalogue tool and the message box
};

// Where the sections of a scanned file start (offsets of their counts).
struct Sections {
    std::size_t Progs = 0;
    std::size_t Categories = 0;
    std::size_t Extensions = 0;
    std::size_t History = 0;
    std::size_t ExtParams = 0;
    std::size_t End = 0;  // just after the last section
};

// Walks the file's counts once. Every count is checked against the bytes
// that remain; nothing is read beyond `size`. False with `fault` naming the
// first problem and its offset: a file that ends inside a section, or a count
// that cannot be (negative, or more than the remaining bytes hold). Values
// that are merely unusual (a negative limit, a parameter flag other than 0
// or 1) and bytes after the last section are read, not refused.
bool Scan(const std::uint8_t* data, std::size_t size, Sections& sections, Fault& fault);

// Views of a scanned file. Each starts at a record and knows where the next
// one begins.
inline std::int32_t I32At(const std::uint8_t* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}
// A text field as this program writes it: up to the first zero byte, and at
// most the whole characters of `width` - 1 bytes. A field some other writer
// filled to its end reads as it will be written back, so that two texts that
// differ only in their last byte cannot become one at the next save.
inline std::string_view TextAt(const std::uint8_t* p, std::size_t width) {
    const char* s = reinterpret_cast<const char*>(p);
    const void* nul = std::memchr(s, 0, width);
    return sjis::CutToBytes(
        std::string_view(s, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - s) : width), width - 1);
}

void ReadHead(const std::uint8_t* p, THead& head);
void ReadProgram(const std::uint8_t* p, TProg& prog);  // `p` at a 1104-byte record

struct ExtView {
    explicit ExtView(const std::uint8_t* p) : p_(p) {}
    std::int32_t Id() const { return I32At(p_); }
    std::string_view Name() const { return TextAt(p_ + 4, kNameWidth); }
    std::int32_t MenuFlag() const { return I32At(p_ + 36); }
    const std::uint8_t* SpareArea() const { return p_ + 40; }
    std::int32_t ProgCount() const { return I32At(p_ + 552); }
    std::int32_t ProgId(std::int32_t i) const { return I32At(p_ + kExtFixedSize + 4 * static_cast<std::size_t>(i)); }
    const std::uint8_t* Next() const { return p_ + kExtFixedSize + 4 * static_cast<std::size_t>(ProgCount()); }

private:
    const std::uint8_t* p_;
};

struct HistEntryView {
    explicit HistEntryView(const std::uint8_t* p) : p_(p) {}
    std::int32_t ProgId() const { return I32At(p_); }
    std::int32_t ItemCount() const { return I32At(p_ + 4); }
    std::int32_t HasParams() const { return I32At(p_ + 8); }
    std::size_t ItemSize() const { return HasParams() == 1 ? kItemWithParamSize : kItemSize; }
    std::string_view Text(std::int32_t i) const { return TextAt(Item(i), kHistoryItemWidth); }
    std::string_view Param(std::int32_t i) const { return TextAt(Item(i) + kHistoryItemWidth, kParamWidth); }
    const std::uint8_t* Next() const { return Item(ItemCount()); }

private:
    const std::uint8_t* Item(std::int32_t i) const {
        return p_ + kHistEntryFixedSize + ItemSize() * static_cast<std::size_t>(i);
    }
    const std::uint8_t* p_;
};

// Reads a whole file image (Scan, then every record copied out).
bool Parse(const std::uint8_t* data, std::size_t size, Image& image, Fault& fault);

// Writes the image in the stored layout. Text longer than its field is cut at
// a character boundary; unused bytes are zero.
std::vector<std::uint8_t> Serialize(const Image& image);

}  // namespace kumoya::catalogue_format
