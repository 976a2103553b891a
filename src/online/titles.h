// The title database: for a program file name, the title, category, file
// extensions and support address under which we offer the program. It comes
// as the files zkv001.ttl, zkv002.ttl, ... beside the program; the first one
// is loaded as it stands, every later one is merged into it by file name.
//
// The list keeps file order and may hold several entries with one key; a
// lookup answers the first of them, and an entry's position in the list is
// its title-database index (TProg::TitleIndex). A hash of key -> first
// position sits beside the list so that loading and lookups stay linear in
// the size of the files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kumoya {

// Layout of a title file. Integers are 32-bit little-endian, signed; texts
// are Shift_JIS, ended by a zero byte inside their field.
namespace titlefile {
inline constexpr std::size_t kHeaderSize = 272;      // value, number, block, padding
inline constexpr std::size_t kCountSize = 4;         // entry count after the header
inline constexpr std::size_t kEntrySize = 1408;      // one entry record
inline constexpr std::size_t kExtensionSize = 16;    // one extension record

inline constexpr std::size_t kHeaderValueAt = 0;     // 8 bytes
inline constexpr std::size_t kHeaderNumberAt = 8;    // int32
inline constexpr std::size_t kHeaderBlockAt = 12;    // 256 bytes

inline constexpr std::size_t kEntryNoAt = 0;         // int32
inline constexpr std::size_t kTitleAt = 4;           // 40 bytes
inline constexpr std::size_t kFileNameAt = 44;       // 40 bytes
inline constexpr std::size_t kReservedTextAt = 84;   // 512 bytes
inline constexpr std::size_t kCategoryAt = 596;      // 40 bytes
inline constexpr std::size_t kSupportUrlAt = 636;    // 512 bytes
inline constexpr std::size_t kReservedBlockAt = 1148;  // 256 bytes
inline constexpr std::size_t kExtCountAt = 1404;     // int32

inline constexpr std::size_t kTitleWidth = 40;
inline constexpr std::size_t kFileNameWidth = 40;
inline constexpr std::size_t kReservedTextWidth = 512;
inline constexpr std::size_t kCategoryWidth = 40;
inline constexpr std::size_t kSupportUrlWidth = 512;
inline constexpr std::size_t kBlockWidth = 256;
}  // namespace titlefile

// A read-only cursor over the bytes of one title file. Every read is all or
// nothing, so a short file can never be read past its end.
class TitleStream {
public:
    explicit TitleStream(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t Remaining() const { return bytes_.size() - pos_; }
    // The next `size` bytes, consumed; false (and nothing consumed) when
    // fewer remain.
    bool Take(std::size_t size, std::span<const std::uint8_t>& out);

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// The lookup key of a program file name: a name with a backslash is cut to
// what follows its last backslash or colon (a trail byte of a double-byte
// character is neither), then ASCII letters are upper-cased. The key of an
// entry is its FileName upper-cased the same way.
std::string NormaliseTitleKey(std::string_view name);

// One entry of the database.
class TFTitle {
public:
    std::int32_t EntryNo = 0;       // kept and copied, not interpreted
    std::string Title;
    std::string Key;                // FileName with ASCII letters upper-cased
    std::string ReservedText;       // kept and copied, not interpreted
    std::string Category;           // "" = none
    std::string SupportUrl;         // "" = none
    std::array<std::uint8_t, titlefile::kBlockWidth> ReservedBlock{};  // kept and copied
    std::vector<std::string> ExtNames;  // as read: case kept, duplicates kept

    // Reads one entry record and its extension records (a count of 0 or less
    // means none). Answers 0, or -1 when the stream ends before the entry
    // does; the entry is then incomplete and the stream is not to be read
    // further.
    int ReadFromStream(TitleStream& in);

    // Takes the later entry's values, empty ones included, keeps the key, and
    // appends those of its extensions that this entry does not hold yet
    // (compared without regard to case), in their order.
    void MergeFrom(const TFTitle& later);
};

// The entries in file order, owned. Not sorted; several entries may share a
// key and lookups answer the first one.
class TFTitleList {
public:
    TFTitleList() = default;
    TFTitleList(TFTitleList&&) = default;
    TFTitleList& operator=(TFTitleList&&) = default;
    TFTitleList(const TFTitleList&) = delete;
    TFTitleList& operator=(const TFTitleList&) = delete;

    int Count() const { return static_cast<int>(count_); }
    // The entry at a position, or nullptr outside the list.
    const TFTitle* At(int index) const;
    // Position of the first entry whose key equals `key` (already a key, as
    // NormaliseTitleKey makes it), or -1.
    int IndexOfKey(std::string_view key) const;

    // Appends an entry and answers its position. The entry's key must not
    // change while it is in the list.
    int Add(TFTitle&& title);
    void Clear();
    void Reserve(std::size_t count);

private:
    friend class TFAllTitle;
    TFTitle& Item(std::size_t index) { return chunks_[index / kChunk][index % kChunk]; }
    const TFTitle& Item(std::size_t index) const { return chunks_[index / kChunk][index % kChunk]; }

    // Key -> position of its first entry: an open-addressed table of
    // positions, probed linearly; a slot keeps the key's hash so that most
    // probes never touch an entry.
    struct Slot {
        std::uint32_t hash = 0;
        std::int32_t position = -1;  // -1: empty
    };
    // The slot that holds `key`, or the empty one where it would go.
    std::size_t Probe(std::string_view key, std::uint32_t hash) const;
    void ResizeIndex(std::size_t keys);

    // Entries live in chunks of kChunk: one allocation per chunk, and an
    // entry never moves while the list holds it.
    static constexpr std::size_t kChunk = 256;
    std::vector<std::vector<TFTitle>> chunks_;  // each reserved to kChunk, never more
    std::size_t count_ = 0;
    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t keys_ = 0;     // distinct keys in slots_
};

// The database: the last loaded header and the entries of all files.
class TFAllTitle {
public:
    // The header's values, copied from the last file read and not interpreted.
    std::array<std::uint8_t, 8> HeaderValue{};
    std::int32_t HeaderNumber = 0;
    std::array<std::uint8_t, titlefile::kBlockWidth> HeaderBlock{};

    // Replaces the database by the file's entries, in file order, duplicates
    // kept. Answers 0, or -1 (nothing changed) when the file cannot be read
    // or is too short to hold its header and entry count.
    int LoadFirstFile(std::string_view path);
    // Merges the file's entries: an entry whose key is in the list already
    // goes into the first entry of that key, any other is appended. Answers
    // 0, or -1 as LoadFirstFile (nothing changed).
    int MergeFile(std::string_view path);

    // The same two on the bytes of a file.
    int LoadFirstBytes(std::span<const std::uint8_t> bytes);
    int MergeBytes(std::span<const std::uint8_t> bytes);

    // The first entry for a program file name (with or without folder), or
    // nullptr.
    const TFTitle* FindTitle(std::string_view name) const;
    // Its position, or -1.
    int IndexOfTitle(std::string_view name) const;
    // The entry at a stored title index, or nullptr when the index is -1 or
    // outside the list.
    const TFTitle* TitleAt(int index) const { return titles_.At(index); }

    int Count() const { return titles_.Count(); }
    const TFTitleList& Titles() const { return titles_; }

private:
    TFTitleList titles_;
};

// Loads zkv001.ttl, zkv002.ttl, ... from a folder (with or without its
// trailing backslash) into the database: the first file replaces it, each
// later one is merged. Stops at the first number whose file is missing; a
// file that cannot be read or is too short for its header is passed over
// (the next readable one then takes its place in the order). Answers the
// number of files taken in; with none, the database stays as it was.
int LoadTitleDatabase(TFAllTitle& database, std::string_view folder);
// The same from the program's own folder.
int LoadTitleDatabase(TFAllTitle& database);

}  // namespace kumoya
