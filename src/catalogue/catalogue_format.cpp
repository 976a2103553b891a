#include "catalogue/catalogue_format.h"

#include <cstring>

#include "platform/text.h"

namespace kumoya::catalogue_format {
namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, Fault& fault) : data_(data), size_(size), fault_(fault) {}

    std::size_t Offset() const { return pos_; }
    std::size_t Remaining() const { return size_ - pos_; }

    bool Need(std::size_t n, const char* what) {
        if (n <= Remaining()) return true;
        return Fail(std::string("file ends inside ") + what);
    }
    bool Fail(std::string what) { return FailAt(pos_, std::move(what)); }
    bool FailAt(std::size_t at, std::string what) {
        fault_.Offset = at;
        fault_.What = std::move(what);
        return false;
    }
    std::int32_t I32() {
        std::uint32_t v = static_cast<std::uint32_t>(data_[pos_]) | static_cast<std::uint32_t>(data_[pos_ + 1]) << 8 |
                          static_cast<std::uint32_t>(data_[pos_ + 2]) << 16 |
                          static_cast<std::uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return static_cast<std::int32_t>(v);
    }
    double F64() {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = v << 8 | data_[pos_ + static_cast<std::size_t>(i)];
        pos_ += 8;
        double d;
        std::memcpy(&d, &v, sizeof d);
        return d;
    }
    // Text up to the first zero byte within the field.
    std::string Text(std::size_t width) {
        const char* p = reinterpret_cast<const char*>(data_ + pos_);
        const void* nul = std::memchr(p, 0, width);
        std::size_t len = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : width;
        pos_ += width;
        return std::string(p, len);
    }
    template <std::size_t N>
    void Raw(std::array<std::uint8_t, N>& out) {
        std::memcpy(out.data(), data_ + pos_, N);
        pos_ += N;
    }
    void Skip(std::size_t n) { pos_ += n; }
    // A count read at the current position: not negative, and `minBytes`
    // per element must still fit in the file.
    bool Count(std::int32_t& n, std::size_t minBytes, const char* what) {
        if (!Need(4, what)) return false;
        std::size_t at = pos_;
        n = I32();
        if (n < 0 || static_cast<std::uint64_t>(n) * minBytes > Remaining())
            return FailAt(at, std::string("impossible count ") + std::to_string(n) + " of " + what);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    Fault& fault_;
};

bool ReadHeader(Reader& r, THead& h) {
    if (!r.Need(kHeaderSize, "the header")) return false;
    h.SpareNo = r.I32();
    h.HistoryMax = r.I32();
    h.CountDate = r.F64();
    h.MainPage = r.I32();
    h.CategoryIndex = r.I32();
    h.ExtensionIndex = r.I32();
    h.MenuAtStart = r.I32();
    h.ProxyHost = r.Text(kLongTextWidth);
    h.ProxyPort = r.I32();
    h.SmtpUser = r.Text(kSmtpUserWidth);
    h.SmtpHost = r.Text(kLongTextWidth);
    h.MailAddress = r.Text(kLongTextWidth);
    h.Flags = static_cast<std::uint32_t>(r.I32());
    r.Raw(h.SpareArea);
    return true;
}

bool ReadPrograms(Reader& r, std::vector<TProg>& progs) {
    std::int32_t count;
    if (!r.Count(count, kProgramSize, "programs")) return false;
    progs.resize(static_cast<std::size_t>(count));
    for (TProg& p : progs) {
        p.Id = r.I32();
        p.Path = r.Text(kPathWidth);
        p.Title = r.Text(kTitleWidth);
        r.Skip(4);
        p.LastLaunch = r.F64();
        p.TodayCount = r.I32();
        p.TotalCount = r.I32();
        p.SpareNo = r.I32();
        p.AssignEdited = r.I32();
        p.TitleIndex = r.I32();
        r.Raw(p.SpareArea);
        r.Skip(4);
    }
    return true;
}

bool ReadExts(Reader& r, std::vector<StoredExt>& exts, const char* what) {
    std::int32_t count;
    if (!r.Count(count, kExtFixedSize, what)) return false;
    exts.resize(static_cast<std::size_t>(count));
    for (StoredExt& e : exts) {
        if (!r.Need(kExtFixedSize - 4, what)) return false;
        e.Id = r.I32();
        e.Name = r.Text(kNameWidth);
        e.MenuFlag = r.I32();
        r.Raw(e.SpareArea);
        std::int32_t n;
        if (!r.Count(n, 4, "program numbers")) return false;
        e.ProgIds.resize(static_cast<std::size_t>(n));
        for (auto& id : e.ProgIds) id = r.I32();
    }
    return true;
}

bool ReadHistList(Reader& r, StoredHistList& list, const char* what) {
    std::int32_t count;
    if (!r.Count(count, kHistEntryFixedSize - 4, what)) return false;
    if (!r.Need(4, what)) return false;
    std::size_t limitAt = r.Offset();
    // A negative limit is kept as stored: the settings page can store a
    // negative history size, and the lists treat it as 0.
    list.Limit = r.I32();
    // The count was checked before the limit was read; check it again now
    // that four more bytes are gone.
    if (static_cast<std::uint64_t>(count) * kHistEntryFixedSize > r.Remaining())
        return r.FailAt(limitAt - 4, std::string("impossible count ") + std::to_string(count) + " of " + what);
    list.Entries.resize(static_cast<std::size_t>(count));
    for (StoredHistEntry& e : list.Entries) {
        if (!r.Need(kHistEntryFixedSize, what)) return false;
        e.ProgId = r.I32();
        std::size_t countAt = r.Offset();
        std::int32_t n = r.I32();
        e.HasParams = r.I32();
        std::size_t itemSize = e.HasParams == 1 ? kItemWithParamSize : kItemSize;
        if (n < 0 || static_cast<std::uint64_t>(n) * itemSize > r.Remaining())
            return r.FailAt(countAt, "impossible item count " + std::to_string(n));
        e.Items.resize(static_cast<std::size_t>(n));
        for (StoredItem& item : e.Items) {
            item.Text = r.Text(kHistoryItemWidth);
            if (e.HasParams == 1) item.Param = r.Text(kParamWidth);
        }
    }
    return true;
}

// Writes into a buffer sized in advance (SizeOf), field by field.
class Writer {
public:
    explicit Writer(std::size_t size) : out_(size), p_(out_.data()) {}
    void I32(std::int32_t v) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) *p_++ = static_cast<std::uint8_t>(u >> (8 * i));
    }
    void F64(double d) {
        std::uint64_t v;
        std::memcpy(&v, &d, sizeof v);
        for (int i = 0; i < 8; ++i) *p_++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void Text(const std::string& s, std::size_t width) {
        std::string_view cut = sjis::CutToBytes(s, width - 1);
        // A zero byte inside the text ends it, as any reader will see it.
        cut = cut.substr(0, cut.find('\0'));
        std::memcpy(p_, cut.data(), cut.size());
        std::memset(p_ + cut.size(), 0, width - cut.size());
        p_ += width;
    }
    template <std::size_t N>
    void Raw(const std::array<std::uint8_t, N>& a) {
        std::memcpy(p_, a.data(), N);
        p_ += N;
    }
    void Zeros(std::size_t n) {
        std::memset(p_, 0, n);
        p_ += n;
    }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
    std::uint8_t* p_;
};

void WriteExts(Writer& w, const std::vector<StoredExt>& exts) {
    w.I32(static_cast<std::int32_t>(exts.size()));
    for (const StoredExt& e : exts) {
        w.I32(e.Id);
        w.Text(e.Name, kNameWidth);
        w.I32(e.MenuFlag);
        w.Raw(e.SpareArea);
        w.I32(static_cast<std::int32_t>(e.ProgIds.size()));
        for (auto id : e.ProgIds) w.I32(id);
    }
}

void WriteHistList(Writer& w, const StoredHistList& list) {
    w.I32(static_cast<std::int32_t>(list.Entries.size()));
    w.I32(list.Limit);
    for (const StoredHistEntry& e : list.Entries) {
        w.I32(e.ProgId);
        w.I32(static_cast<std::int32_t>(e.Items.size()));
        w.I32(e.HasParams);
        for (const StoredItem& item : e.Items) {
            w.Text(item.Text, kHistoryItemWidth);
            if (e.HasParams == 1) w.Text(item.Param, kParamWidth);
        }
    }
}

std::size_t SizeOf(const Image& image) {
    std::size_t size = kHeaderSize + 4 + image.Progs.size() * kProgramSize;
    for (const auto* exts : {&image.Categories, &image.Extensions}) {
        size += 4;
        for (const auto& e : *exts) size += kExtFixedSize + 4 * e.ProgIds.size();
    }
    for (const auto* list : {&image.History, &image.ExtParams}) {
        size += 8;
        for (const auto& e : list->Entries)
            size += kHistEntryFixedSize + e.Items.size() * (e.HasParams == 1 ? kItemWithParamSize : kItemSize);
    }
    return size;
}

}  // namespace

bool Parse(const std::uint8_t* data, std::size_t size, Image& image, Fault& fault) {
    Reader r(data, size, fault);
    if (!ReadHeader(r, image.Head) || !ReadPrograms(r, image.Progs) ||
        !ReadExts(r, image.Categories, "categories") || !ReadExts(r, image.Extensions, "extensions") ||
        !ReadHistList(r, image.History, "the launch history") ||
        !ReadHistList(r, image.ExtParams, "the parameter store"))
        return false;
    // Bytes after the last section belong to no field; they are ignored, as
    // bytes after a text terminator are.
    image.TrailingBytes = r.Remaining();
    return true;
}

std::vector<std::uint8_t> Serialize(const Image& image) {
    Writer w(SizeOf(image));
    const THead& h = image.Head;
    w.I32(h.SpareNo);
    w.I32(h.HistoryMax);
    w.F64(h.CountDate);
    w.I32(h.MainPage);
    w.I32(h.CategoryIndex);
    w.I32(h.ExtensionIndex);
    w.I32(h.MenuAtStart);
    w.Text(h.ProxyHost, kLongTextWidth);
    w.I32(h.ProxyPort);
    w.Text(h.SmtpUser, kSmtpUserWidth);
    w.Text(h.SmtpHost, kLongTextWidth);
    w.Text(h.MailAddress, kLongTextWidth);
    w.I32(static_cast<std::int32_t>(h.Flags));
    w.Raw(h.SpareArea);

    w.I32(static_cast<std::int32_t>(image.Progs.size()));
    for (const TProg& p : image.Progs) {
        w.I32(p.Id);
        w.Text(p.Path, kPathWidth);
        w.Text(p.Title, kTitleWidth);
        w.Zeros(4);
        w.F64(p.LastLaunch);
        w.I32(p.TodayCount);
        w.I32(p.TotalCount);
        w.I32(p.SpareNo);
        w.I32(p.AssignEdited);
        w.I32(p.TitleIndex);
        w.Raw(p.SpareArea);
        w.Zeros(4);
    }
    WriteExts(w, image.Categories);
    WriteExts(w, image.Extensions);
    WriteHistList(w, image.History);
    WriteHistList(w, image.ExtParams);
    return w.Take();
}

}  // namespace kumoya::catalogue_format
