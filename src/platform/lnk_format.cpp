#include "platform/lnk_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "platform/codec.h"
#include "platform/text.h"

namespace kumoya::platform::lnk {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046}, the shell link class, as stored.
constexpr std::array<std::uint8_t, 16> kLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {20D04FE0-3AEA-1069-A2D8-08002B30309D}, "My Computer", the root of drive paths.
constexpr std::array<std::uint8_t, 16> kMyComputerClsid = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                                           0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};

// Link flags.
constexpr std::uint32_t kHasIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasRelativePath = 0x08;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;

// Link information flags.
constexpr std::uint32_t kVolumeAndLocalPath = 0x01;
constexpr std::uint32_t kNetworkAndSuffix = 0x02;

constexpr std::uint32_t kDriveFixed = 3;

// ---- text -----------------------------------------------------------------

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 (as read from the file) to Shift_JIS; nullopt for an unpaired
// surrogate or a character without a Shift_JIS form.
std::optional<std::string> Utf16ToSjis(const std::u16string& text) {
    std::string utf8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        AppendUtf8(utf8, c);
    }
    return Utf8ToSjis(utf8);
}

std::optional<std::u16string> SjisToUtf16(std::string_view sjis) {
    auto utf8 = SjisToUtf8(sjis);
    if (!utf8) return std::nullopt;
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8->data());
    std::size_t n = utf8->size();
    for (std::size_t i = 0; i < n;) {
        char32_t c = s[i];
        std::size_t extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        if (i + extra >= n) return std::nullopt;
        if (extra) c &= (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) c = (c << 6) | (s[i + k] & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// Text in a single-byte field is Shift_JIS already; it only has to be valid.
std::optional<std::string> CheckedSjis(std::string text) {
    if (!SjisToUtf8(text)) return std::nullopt;
    return text;
}

// ---- writing --------------------------------------------------------------

class Writer {
public:
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Raw(const std::uint8_t* p, std::size_t n) { out_.insert(out_.end(), p, p + n); }
    void AnsiZ(std::string_view s) {
        Raw(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
        U8(0);
    }
    void UnicodeZ(const std::u16string& s) {
        for (char16_t c : s) U16(c);
        U16(0);
    }
    void Zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(out_.size()); }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    Bytes& Data() { return out_; }

private:
    Bytes out_;
};

// The link information block for a target: a drive path as volume + local
// base path, a UNC path (\\server\share\rest) as network share + suffix. Both
// carry the Unicode forms as well, so a name survives a system of any code page.
Bytes LinkInfoFor(std::string_view target, const std::u16string& wideTarget) {
    Writer w;
    bool unc = target.size() > 2 && target[0] == '\\' && target[1] == '\\';
    std::string_view share = target, suffix;
    std::u16string wideShare = wideTarget, wideSuffix;
    if (unc) {
        // Split after \\server\share; server and share names are ASCII-safe to
        // split because '\\' is never a Shift_JIS lead byte and the split point
        // is found in both forms by counting separators.
        auto splitAt = [](auto text) -> std::size_t {
            int seen = 0;
            for (std::size_t i = 2; i < text.size(); ++i) {
                if (text[i] == '\\' && ++seen == 2) return i;
            }
            return text.size();
        };
        // In the narrow form a trail byte may be 0x5C, so locate the split
        // through the wide form and convert the prefix back by length.
        std::size_t wideAt = splitAt(std::u16string_view(wideTarget));
        // A reader adds no separator after a share name that ends in one, so
        // "\\server\share\" or a doubled separator keeps the path whole.
        if (wideAt + 1 >= wideTarget.size() || wideTarget[wideAt - 1] == u'\\') wideAt = wideTarget.size();
        wideShare = wideTarget.substr(0, wideAt);
        wideSuffix = wideAt < wideTarget.size() ? wideTarget.substr(wideAt + 1) : std::u16string();
        auto narrowShare = Utf16ToSjis(wideShare);
        std::size_t narrowAt = narrowShare ? narrowShare->size() : target.size();
        share = target.substr(0, narrowAt);
        suffix = narrowAt < target.size() ? target.substr(narrowAt + 1) : std::string_view();
    }

    w.U32(0);  // size, patched below
    w.U32(0x24);
    w.U32(unc ? kNetworkAndSuffix : kVolumeAndLocalPath);
    std::size_t volumeAt = w.Size();
    w.Zeros(0x24 - w.Size());  // the five offsets, patched below
    std::uint32_t volume = 0, local = 0, network = 0, localW = 0, suffixA = 0, suffixW = 0;
    if (unc) {
        network = w.Size();
        w.U32(0);  // size, patched
        w.U32(0);  // no device name, no provider type
        w.U32(0x1C);
        w.U32(0);
        w.U32(0);
        std::size_t wideOffsetAt = w.Size();
        w.U32(0);
        w.U32(0);
        w.AnsiZ(share);
        w.PatchU32(wideOffsetAt, w.Size() - network);
        w.UnicodeZ(wideShare);
        w.PatchU32(network, w.Size() - network);
    } else {
        volume = w.Size();
        w.U32(0x11);
        w.U32(kDriveFixed);
        w.U32(0);     // serial number
        w.U32(0x10);  // label offset
        w.U8(0);      // empty label
        local = w.Size();
        w.AnsiZ(target);
    }
    suffixA = w.Size();
    w.AnsiZ(suffix);
    if (!unc) {
        localW = w.Size();
        w.UnicodeZ(wideTarget);
    }
    suffixW = w.Size();
    w.UnicodeZ(std::u16string(wideSuffix));
    w.PatchU32(0, w.Size());
    w.PatchU32(volumeAt + 0x00, volume);
    w.PatchU32(volumeAt + 0x04, local);
    w.PatchU32(volumeAt + 0x08, network);
    w.PatchU32(volumeAt + 0x0C, suffixA);
    w.PatchU32(volumeAt + 0x10, localW);
    w.PatchU32(volumeAt + 0x14, suffixW);
    return std::move(w.Data());
}

// ---- reading --------------------------------------------------------------

// A bounds-checked view: every read past the end fails instead of reading.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Size() const { return size_; }
    std::size_t Position() const { return pos_; }
    bool Has(std::size_t n) const { return n <= size_ - pos_; }

    bool U16At(std::size_t at, std::uint16_t& v) const {
        if (at > size_ || size_ - at < 2) return false;
        v = static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
        return true;
    }
    bool U32At(std::size_t at, std::uint32_t& v) const {
        if (at > size_ || size_ - at < 4) return false;
        v = static_cast<std::uint32_t>(data_[at]) | (static_cast<std::uint32_t>(data_[at + 1]) << 8) |
            (static_cast<std::uint32_t>(data_[at + 2]) << 16) | (static_cast<std::uint32_t>(data_[at + 3]) << 24);
        return true;
    }
    bool U16(std::uint16_t& v) { return U16At(pos_, v) && Skip(2); }
    bool U32(std::uint32_t& v) { return U32At(pos_, v) && Skip(4); }
    bool Skip(std::size_t n) {
        if (!Has(n)) return false;
        pos_ += n;
        return true;
    }
    // A sub-view of n bytes at the current position, which then moves past them.
    std::optional<Reader> Take(std::size_t n) {
        if (!Has(n)) return std::nullopt;
        Reader sub(data_ + pos_, n);
        pos_ += n;
        return sub;
    }
    const std::uint8_t* At(std::size_t at) const { return data_ + at; }

    // Zero-terminated single-byte text starting at `at`, terminator inside the view.
    std::optional<std::string> AnsiZAt(std::size_t at) const {
        if (at >= size_) return std::nullopt;
        const void* end = std::memchr(data_ + at, 0, size_ - at);
        if (!end) return std::nullopt;
        return std::string(reinterpret_cast<const char*>(data_ + at), static_cast<const std::uint8_t*>(end) - (data_ + at));
    }
    std::optional<std::u16string> UnicodeZAt(std::size_t at) const {
        std::u16string out;
        for (std::uint16_t c; U16At(at, c); at += 2) {
            if (c == 0) return out;
            out += static_cast<char16_t>(c);
        }
        return std::nullopt;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The target as the link information states it: a network share with its
// suffix first (the "UNC priority" form), else the local base path with it.
struct LinkInfoPaths {
    std::optional<std::string> wide;  // from the Unicode fields, converted
    std::optional<std::string> ansi;  // from the single-byte fields
};

std::string JoinSuffix(std::string base, const std::string& suffix) {
    if (suffix.empty()) return base;
    // The last byte may be the trail byte 0x5C of a double-byte character.
    if (!base.empty() && sjis::LastDelimiter(base, "\\") != base.size() - 1) base += '\\';
    return base + suffix;
}

std::optional<LinkInfoPaths> ReadLinkInfo(const Reader& r) {
    std::uint32_t size, headerSize, flags, volume, local, network, suffix;
    if (!r.U32At(0, size) || !r.U32At(4, headerSize) || !r.U32At(8, flags) || !r.U32At(12, volume) ||
        !r.U32At(16, local) || !r.U32At(20, network) || !r.U32At(24, suffix))
        return std::nullopt;
    if (headerSize < 0x1C || headerSize > size) return std::nullopt;
    std::uint32_t localW = 0, suffixW = 0;
    if (headerSize >= 0x24 && (!r.U32At(28, localW) || !r.U32At(32, suffixW))) return std::nullopt;

    LinkInfoPaths paths;
    auto suffixA = r.AnsiZAt(suffix);
    if (!suffixA) return std::nullopt;
    std::optional<std::u16string> suffixU;
    if (suffixW) {
        suffixU = r.UnicodeZAt(suffixW);
        if (!suffixU) return std::nullopt;
    }
    if (flags & kNetworkAndSuffix) {
        std::uint32_t cnrlSize, netNameAt, netNameWAt = 0;
        if (!r.U32At(network, cnrlSize) || cnrlSize < 0x14 || cnrlSize > r.Size() - network ||
            !r.U32At(network + 8, netNameAt))
            return std::nullopt;
        Reader cnrl(r.At(network), cnrlSize);
        if (netNameAt > 0x14 && !cnrl.U32At(0x14, netNameWAt)) return std::nullopt;
        auto netName = cnrl.AnsiZAt(netNameAt);
        if (!netName) return std::nullopt;
        paths.ansi = JoinSuffix(*netName, *suffixA);
        if (netNameWAt) {
            auto wide = cnrl.UnicodeZAt(netNameWAt);
            if (!wide) return std::nullopt;
            auto base = Utf16ToSjis(*wide);
            auto tail = suffixU ? Utf16ToSjis(*suffixU) : std::optional<std::string>(*suffixA);
            if (!base || !tail) return std::nullopt;
            paths.wide = JoinSuffix(*base, *tail);
        }
    } else if (flags & kVolumeAndLocalPath) {
        std::uint32_t volumeSize;
        if (!r.U32At(volume, volumeSize) || volumeSize < 0x10 || volumeSize > r.Size() - volume) return std::nullopt;
        auto base = r.AnsiZAt(local);
        if (!base) return std::nullopt;
        paths.ansi = *base + *suffixA;
        if (localW) {
            auto wide = r.UnicodeZAt(localW);
            if (!wide) return std::nullopt;
            std::u16string whole = *wide + (suffixU ? *suffixU : std::u16string());
            auto text = Utf16ToSjis(whole);
            if (!text) return std::nullopt;
            paths.wide = suffixU ? *text : *text + *suffixA;
        }
    }
    return paths;
}

// The long name in a file entry's 0xBEEF0004 extension block, whose layout
// grew with the system's versions.
std::optional<std::u16string> LongNameFromExtension(const Reader& item) {
    // The offset counts from the item's start, its 2-byte size included,
    // which the view here leaves out.
    std::uint16_t firstExtension;
    if (item.Size() < 2 || !item.U16At(item.Size() - 2, firstExtension) || firstExtension < 2 + 12 ||
        firstExtension - 2u >= item.Size() - 2)
        return std::nullopt;
    std::size_t at = firstExtension - 2u;
    std::uint16_t size, version;
    std::uint32_t signature;
    if (!item.U16At(at, size) || !item.U16At(at + 2, version) || !item.U32At(at + 4, signature)) return std::nullopt;
    // Some writers leave version and signature zero and put the name where
    // version 3 has it.
    if (signature == 0 && version == 0) version = 3;
    else if (signature != 0xBEEF0004) return std::nullopt;
    if (size < 0x14 || size > item.Size() - at) return std::nullopt;
    Reader block(item.At(at), size);
    std::size_t nameAt = 0x12;
    if (version >= 7) nameAt += 2 + 8 + 8;
    if (version >= 3) nameAt += 2;
    if (version >= 9) nameAt += 4;
    if (version >= 8) nameAt += 4;
    return block.UnicodeZAt(nameAt);
}

// The file-system path an item-id list names, for the common shape of a
// shortcut to a file: My Computer, a drive, then folder and file entries.
// nullopt for any other shape; the link information is used then.
std::optional<std::string> PathFromIdList(Reader list) {
    std::u16string path;
    bool rootSeen = false, driveSeen = false;
    while (true) {
        std::uint16_t itemSize;
        if (!list.U16(itemSize)) return std::nullopt;
        if (itemSize == 0) break;
        if (itemSize < 3) return std::nullopt;
        auto item = list.Take(itemSize - 2u);
        if (!item) return std::nullopt;
        std::uint8_t type = *item->At(0);
        if (!rootSeen) {
            if (type != 0x1F || item->Size() < 18 || std::memcmp(item->At(2), kMyComputerClsid.data(), 16) != 0)
                return std::nullopt;
            rootSeen = true;
        } else if (!driveSeen) {
            if ((type & 0x70) != 0x20) return std::nullopt;
            auto drive = item->AnsiZAt(1);
            if (!drive || drive->size() < 2 || (*drive)[1] != ':') return std::nullopt;
            for (char c : *drive) path += static_cast<char16_t>(static_cast<unsigned char>(c));
            if (path.back() != u'\\') path += u'\\';
            driveSeen = true;
        } else {
            if ((type & 0x70) != 0x30 || item->Size() < 13) return std::nullopt;
            std::optional<std::u16string> name;
            if (type & 0x04) {
                name = item->UnicodeZAt(12);
            } else if (!(name = LongNameFromExtension(*item))) {
                auto shortName = item->AnsiZAt(12);
                if (!shortName) return std::nullopt;
                auto wide = SjisToUtf16(*shortName);
                if (!wide) return std::nullopt;
                name = *wide;
            }
            if (!name || name->empty()) return std::nullopt;
            if (path.back() != u'\\') path += u'\\';
            path += *name;
        }
    }
    if (!driveSeen) return std::nullopt;
    return Utf16ToSjis(path);
}

}  // namespace

std::optional<Bytes> Encode(const Link& link) {
    auto target = SjisToUtf16(link.target);
    auto workDir = SjisToUtf16(link.workingDirectory);
    auto arguments = SjisToUtf16(link.arguments);
    auto icon = SjisToUtf16(link.iconLocation);
    if (!target || !workDir || !arguments || !icon) return std::nullopt;
    for (const auto* s : {&*workDir, &*arguments, &*icon}) {
        if (s->size() > 0xFFFF) return std::nullopt;
    }

    std::uint32_t flags = kIsUnicode;
    if (!target->empty()) flags |= kHasLinkInfo;
    if (!workDir->empty()) flags |= kHasWorkingDir;
    if (!arguments->empty()) flags |= kHasArguments;
    if (!icon->empty()) flags |= kHasIconLocation;

    Writer w;
    w.U32(kHeaderSize);
    w.Raw(kLinkClsid.data(), kLinkClsid.size());
    w.U32(flags);
    w.U32(0);       // file attributes
    w.Zeros(3 * 8); // creation, access, write times
    w.U32(0);       // file size
    w.U32(static_cast<std::uint32_t>(link.iconIndex));
    w.U32(static_cast<std::uint32_t>(link.showCommand));
    w.U16(link.hotKey);
    w.Zeros(2 + 4 + 4);
    if (flags & kHasLinkInfo) {
        Bytes info = LinkInfoFor(link.target, *target);
        w.Raw(info.data(), info.size());
    }
    for (const auto* s : {&*workDir, &*arguments, &*icon}) {
        if (s->empty()) continue;
        w.U16(static_cast<std::uint16_t>(s->size()));
        for (char16_t c : *s) w.U16(c);
    }
    w.U32(0);  // terminal block: no extra data
    return std::move(w.Data());
}

std::optional<Link> Decode(const std::uint8_t* data, std::size_t size) {
    if (!data) return std::nullopt;
    Reader r(data, size);
    std::uint32_t headerSize, flags, iconIndex, showCommand;
    std::uint16_t hotKey;
    if (!r.U32(headerSize) || headerSize != kHeaderSize || !r.Has(16) ||
        std::memcmp(r.At(4), kLinkClsid.data(), 16) != 0)
        return std::nullopt;
    r.Skip(16);
    if (!r.U32(flags) || !r.Skip(4 + 24 + 4) || !r.U32(iconIndex) || !r.U32(showCommand) || !r.U16(hotKey) ||
        !r.Skip(10))
        return std::nullopt;

    Link link;
    link.iconIndex = static_cast<std::int32_t>(iconIndex);
    link.showCommand = static_cast<std::int32_t>(showCommand);
    link.hotKey = hotKey;

    std::optional<std::string> fromIdList;
    if (flags & kHasIdList) {
        std::uint16_t listSize;
        if (!r.U16(listSize)) return std::nullopt;
        auto list = r.Take(listSize);
        if (!list) return std::nullopt;
        fromIdList = PathFromIdList(*list);
    }
    LinkInfoPaths info;
    if (flags & kHasLinkInfo) {
        std::uint32_t infoSize;
        if (!r.U32At(r.Position(), infoSize) || infoSize < 0x1C) return std::nullopt;
        auto block = r.Take(infoSize);
        if (!block) return std::nullopt;
        auto paths = ReadLinkInfo(*block);
        if (!paths) return std::nullopt;
        info = *paths;
    }
    // The Unicode path of the link information is exact; the item-id list
    // carries the long names in Unicode too; the single-byte path comes last
    // because a system of another code page may have lost characters in it.
    if (info.wide) {
        link.target = *info.wide;
    } else if (fromIdList) {
        link.target = *fromIdList;
    } else if (info.ansi) {
        auto checked = CheckedSjis(*info.ansi);
        if (!checked) return std::nullopt;
        link.target = *checked;
    }

    const bool unicode = flags & kIsUnicode;
    auto readString = [&](std::string* into) -> bool {
        std::uint16_t count;
        if (!r.U16(count)) return false;
        std::size_t bytes = unicode ? count * 2u : count;
        if (!r.Has(bytes)) return false;
        if (!into) return r.Skip(bytes);  // not kept, so not converted either
        std::optional<std::string> text;
        if (unicode) {
            std::u16string wide;
            std::uint16_t c = 0;
            for (std::uint16_t i = 0; i < count && r.U16(c); ++i) wide += static_cast<char16_t>(c);
            // Some writers count a terminating zero; the text ends there.
            wide.resize(std::min(wide.size(), wide.find(u'\0')));
            text = Utf16ToSjis(wide);
        } else {
            std::string narrow(reinterpret_cast<const char*>(r.At(r.Position())), bytes);
            narrow.resize(std::min(narrow.size(), narrow.find('\0')));
            text = CheckedSjis(narrow);
            r.Skip(bytes);
        }
        // A text without a Shift_JIS form is left empty: the shortcut's
        // target is what matters, and it is checked above.
        *into = text ? *text : std::string();
        if (!text && into == &link.iconLocation) link.iconIndex = 0;  // an index into no file
        return true;
    };
    if ((flags & kHasName) && !readString(nullptr)) return std::nullopt;
    if ((flags & kHasRelativePath) && !readString(nullptr)) return std::nullopt;
    if ((flags & kHasWorkingDir) && !readString(&link.workingDirectory)) return std::nullopt;
    if ((flags & kHasArguments) && !readString(&link.arguments)) return std::nullopt;
    if ((flags & kHasIconLocation) && !readString(&link.iconLocation)) return std::nullopt;
    return link;
}

}  // namespace kumoya::platform::lnk
