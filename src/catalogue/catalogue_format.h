// The catalogue file as stored: a plain sequence of little-endian values and
// fixed-width Shift_JIS fields, in six sections (header, programs,
// categories, extensions, launch history, parameter store). This level knows
// the layout only; TNFile turns a parsed image into its lists and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/records.h"

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

// Reads a whole file image. Every count is checked against the bytes that
// remain before anything is allocated from it; nothing is read beyond `size`.
// False with `fault` naming the first problem and its offset: a file that
// ends inside a section, or a count that cannot be (negative, or more than
// the remaining bytes hold). Values that are merely unusual (a negative
// limit, a parameter flag other than 0 or 1) and bytes after the last
// section are read, not refused.
bool Parse(const std::uint8_t* data, std::size_t size, Image& image, Fault& fault);

// Writes the image in the stored layout. Text longer than its field is cut at
// a character boundary; unused bytes are zero.
std::vector<std::uint8_t> Serialize(const Image& image);

}  // namespace kumoya::catalogue_format
