#include "online/titles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "platform/files.h"
#include "platform/text.h"

namespace kumoya {

namespace {

using Field = std::span<const std::uint8_t>;

std::int32_t Int32At(Field bytes, std::size_t at) {
    std::uint32_t v = static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
                      static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
                      static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    return static_cast<std::int32_t>(v);
}

// The text of a fixed-width field: up to its zero byte. A field without one
// is damaged; we take what a zero-ended field of that width can hold, cut
// so that no double-byte character is split, and never look past the field.
std::string_view TextAt(Field bytes, std::size_t at, std::size_t width) {
    const char* begin = reinterpret_cast<const char*>(bytes.data() + at);
    const void* nul = std::memchr(begin, 0, width);
    if (nul != nullptr) return std::string_view(begin, static_cast<std::size_t>(static_cast<const char*>(nul) - begin));
    return sjis::CutToBytes(std::string_view(begin, width), width - 1);
}

template <std::size_t N>
void CopyBlock(Field bytes, std::size_t at, std::array<std::uint8_t, N>& out) {
    std::memcpy(out.data(), bytes.data() + at, N);
}

// Upper-cases a file name for comparison. Only ASCII letters outside
// double-byte characters change: a trail byte in 0x61-0x7A belongs to a
// character of its own (ペ is 0x83 0x79), and folding it would make ペ and
// ズ (0x83 0x59) one key.
std::string UpperKey(std::string_view name) { return sjis::UpperAscii(name); }

// The header's values and the entry count that follows the header.
struct Header {
    std::array<std::uint8_t, 8> value{};
    std::int32_t number = 0;
    std::array<std::uint8_t, titlefile::kBlockWidth> block{};
    std::int32_t count = 0;
};

// False, with nothing consumed, when the bytes are too short for them.
bool ReadHeader(TitleStream& in, Header& header) {
    Field head;
    Field count;
    if (in.Remaining() < titlefile::kHeaderSize + titlefile::kCountSize) return false;
    in.Take(titlefile::kHeaderSize, head);
    in.Take(titlefile::kCountSize, count);
    CopyBlock(head, titlefile::kHeaderValueAt, header.value);
    header.number = Int32At(head, titlefile::kHeaderNumberAt);
    CopyBlock(head, titlefile::kHeaderBlockAt, header.block);
    header.count = Int32At(count, 0);
    return true;
}

// How many entries to make room for: the count, unless the bytes left could
// not hold that many (a damaged or hostile count must not size anything).
std::size_t PlausibleEntries(std::int32_t count, const TitleStream& in) {
    if (count <= 0) return 0;
    return std::min(static_cast<std::size_t>(count), in.Remaining() / titlefile::kEntrySize);
}

std::uint32_t HashKey(std::string_view key) {
    // FNV-1a: keys are short file names.
    std::uint32_t h = 2166136261u;
    for (char c : key) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

// Asks for the record a few entries ahead while this one is read. The files
// are larger than the caches, only some lines of each record are looked at
// and records cross page boundaries, so the hardware alone keeps us waiting
// on memory; this takes about a third off loading a large series.
void PrefetchAhead(Field current, const TitleStream& in) {
    constexpr std::size_t kAhead = 8;
    if (in.Remaining() < kAhead * titlefile::kEntrySize) return;
    const std::uint8_t* ahead = current.data() + kAhead * titlefile::kEntrySize;
    for (std::size_t at = 0; at < titlefile::kEntrySize; at += 64) __builtin_prefetch(ahead + at);
}

// Small lists are compared pairwise; beyond this many comparisons a set of
// upper-cased names is cheaper.
constexpr std::size_t kLinearMergeLimit = 64;

}  // namespace

bool TitleStream::Take(std::size_t size, std::span<const std::uint8_t>& out) {
    if (size > Remaining()) return false;
    out = bytes_.subspan(pos_, size);
    pos_ += size;
    return true;
}

std::string NormaliseTitleKey(std::string_view name) {
    // Only a real backslash makes the name a path; one hidden in a trail byte
    // (ソ is 0x83 0x5C) does not.
    if (sjis::LastDelimiter(name, "\\") != std::string_view::npos) {
        name.remove_prefix(sjis::LastDelimiter(name, "\\:") + 1);
    }
    return UpperKey(name);
}

int TFTitle::ReadFromStream(TitleStream& in) {
    namespace f = titlefile;
    Field rec;
    if (!in.Take(f::kEntrySize, rec)) return -1;
    PrefetchAhead(rec, in);
    EntryNo = Int32At(rec, f::kEntryNoAt);
    Title = TextAt(rec, f::kTitleAt, f::kTitleWidth);
    Key = UpperKey(TextAt(rec, f::kFileNameAt, f::kFileNameWidth));
    ReservedText = TextAt(rec, f::kReservedTextAt, f::kReservedTextWidth);
    Category = TextAt(rec, f::kCategoryAt, f::kCategoryWidth);
    SupportUrl = TextAt(rec, f::kSupportUrlAt, f::kSupportUrlWidth);
    CopyBlock(rec, f::kReservedBlockAt, ReservedBlock);
    ExtNames.clear();

    std::int32_t count = Int32At(rec, f::kExtCountAt);
    if (count <= 0) return 0;
    // More extension records than bytes left: the file ends inside this
    // entry. Checked before anything is sized from the count.
    if (static_cast<std::size_t>(count) > in.Remaining() / f::kExtensionSize) return -1;
    ExtNames.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        Field ext;
        in.Take(f::kExtensionSize, ext);
        ExtNames.emplace_back(TextAt(ext, 0, f::kExtensionSize));
    }
    return 0;
}

void TFTitle::MergeFrom(const TFTitle& later) {
    if (&later == this) return;
    EntryNo = later.EntryNo;
    Title = later.Title;
    ReservedText = later.ReservedText;
    Category = later.Category;
    SupportUrl = later.SupportUrl;
    ReservedBlock = later.ReservedBlock;

    // An extension counts as held once appended, so the later entry's own
    // duplicates are not added twice either.
    if ((ExtNames.size() + later.ExtNames.size()) * later.ExtNames.size() <= kLinearMergeLimit) {
        for (const std::string& ext : later.ExtNames) {
            bool held = std::any_of(ExtNames.begin(), ExtNames.end(),
                                    [&](const std::string& have) { return sjis::EqualsIgnoreCase(have, ext); });
            if (!held) ExtNames.push_back(ext);
        }
        return;
    }
    std::unordered_set<std::string> held;
    held.reserve(ExtNames.size() + later.ExtNames.size());
    for (const std::string& have : ExtNames) held.insert(sjis::UpperAscii(have));
    for (const std::string& ext : later.ExtNames) {
        if (held.insert(sjis::UpperAscii(ext)).second) ExtNames.push_back(ext);
    }
}

const TFTitle* TFTitleList::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &Item(static_cast<std::size_t>(index));
}

int TFTitleList::IndexOfKey(std::string_view key) const {
    if (slots_.empty()) return -1;
    return slots_[Probe(key, HashKey(key))].position;
}

std::size_t TFTitleList::Probe(std::string_view key, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.position < 0) return i;
        if (slot.hash == hash && Item(static_cast<std::size_t>(slot.position)).Key == key) return i;
    }
}

// Makes the table at least twice as large as `keys` and puts every key back.
void TFTitleList::ResizeIndex(std::size_t keys) {
    std::size_t size = std::max<std::size_t>(slots_.size(), 16);
    while (size < 2 * keys) size *= 2;
    if (size == slots_.size()) return;
    std::vector<Slot> old(size);
    old.swap(slots_);
    const std::size_t mask = size - 1;
    for (const Slot& slot : old) {
        if (slot.position < 0) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].position >= 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

int TFTitleList::Add(TFTitle&& title) {
    if (count_ == chunks_.size() * kChunk) {
        chunks_.emplace_back();
        chunks_.back().reserve(kChunk);
    }
    int at = Count();
    TFTitle& item = chunks_.back().emplace_back(std::move(title));
    ++count_;
    ResizeIndex(keys_ + 1);
    const std::string& key = item.Key;
    std::uint32_t hash = HashKey(key);
    Slot& slot = slots_[Probe(key, hash)];
    // A key already present keeps its first position.
    if (slot.position < 0) {
        slot = Slot{hash, at};
        ++keys_;
    }
    return at;
}

void TFTitleList::Clear() {
    chunks_.clear();
    count_ = 0;
    std::fill(slots_.begin(), slots_.end(), Slot{});
    keys_ = 0;
}

void TFTitleList::Reserve(std::size_t count) {
    chunks_.reserve((count_ + count + kChunk - 1) / kChunk);
    ResizeIndex(keys_ + count);
}

int TFAllTitle::LoadFirstBytes(std::span<const std::uint8_t> bytes) {
    TitleStream in(bytes);
    Header header;
    if (!ReadHeader(in, header)) return -1;
    HeaderValue = header.value;
    HeaderNumber = header.number;
    HeaderBlock = header.block;
    titles_.Clear();
    titles_.Reserve(PlausibleEntries(header.count, in));
    // A file that ends early gives the entries that are complete.
    TFTitle next;
    for (std::int32_t i = 0; i < header.count; ++i) {
        if (next.ReadFromStream(in) != 0) break;
        titles_.Add(std::move(next));
    }
    return 0;
}

int TFAllTitle::MergeBytes(std::span<const std::uint8_t> bytes) {
    TitleStream in(bytes);
    Header header;
    if (!ReadHeader(in, header)) return -1;
    HeaderValue = header.value;
    HeaderNumber = header.number;
    HeaderBlock = header.block;
    titles_.Reserve(PlausibleEntries(header.count, in));
    TFTitle next;
    for (std::int32_t i = 0; i < header.count; ++i) {
        if (next.ReadFromStream(in) != 0) break;
        int at = titles_.IndexOfKey(next.Key);
        if (at >= 0) {
            titles_.Item(static_cast<std::size_t>(at)).MergeFrom(next);
        } else {
            titles_.Add(std::move(next));
        }
    }
    return 0;
}

int TFAllTitle::LoadFirstFile(std::string_view path) {
    std::optional<platform::Bytes> bytes = platform::ReadFileBytes(path);
    if (!bytes) return -1;
    return LoadFirstBytes(*bytes);
}

int TFAllTitle::MergeFile(std::string_view path) {
    std::optional<platform::Bytes> bytes = platform::ReadFileBytes(path);
    if (!bytes) return -1;
    return MergeBytes(*bytes);
}

const TFTitle* TFAllTitle::FindTitle(std::string_view name) const {
    return titles_.At(IndexOfTitle(name));
}

int TFAllTitle::IndexOfTitle(std::string_view name) const {
    return titles_.IndexOfKey(NormaliseTitleKey(name));
}

int LoadTitleDatabase(TFAllTitle& database, std::string_view folder) {
    std::string base(folder);
    // Add a backslash unless the folder ends in a separator or a drive colon
    // (a trail byte 0x5C at the end is not one).
    if (!base.empty() && sjis::FolderWithSeparator(base).size() != base.size()) base += '\\';
    // Only a missing number ends the series. A file that cannot be read or
    // is too short for its header is passed over, so that one damaged file
    // does not hide every later one; the first file that reads replaces the
    // database, the others merge into it.
    int loaded = 0;
    for (int n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "zkv%03d.ttl", n);
        std::string path = base + name;
        if (!platform::FileExists(path)) break;
        int result = loaded == 0 ? database.LoadFirstFile(path) : database.MergeFile(path);
        if (result == 0) ++loaded;
    }
    return loaded;
}

int LoadTitleDatabase(TFAllTitle& database) { return LoadTitleDatabase(database, platform::ProgramFolder()); }

}  // namespace kumoya
