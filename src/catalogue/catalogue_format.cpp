#include "catalogue/catalogue_format.h"

#include <cstring>

#include "platform/text.h"

namespace kumoya::catalogue_format {

namespace {

double F64At(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

// Walks the counts, checking each against what remains before moving on.
class Scanner {
public:
    Scanner(const std::uint8_t* data, std::size_t size, Fault& fault) : data_(data), size_(size), fault_(fault) {}

    std::size_t Offset() const { return pos_; }
    std::size_t Remaining() const { return size_ - pos_; }

    bool Need(std::size_t n, const char* what) {
        if (n <= Remaining()) return true;
        return FailAt(pos_, std::string("file ends inside ") + what);
    }
    bool FailAt(std::size_t at, std::string what) {
        fault_.Offset = at;
        fault_.What = std::move(what);
        return false;
    }
    std::int32_t I32() {
        std::int32_t v = I32At(data_ + pos_);
        pos_ += 4;
        return v;
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

    bool Exts(const char* what) {
        std::int32_t count;
        if (!Count(count, kExtFixedSize, what)) return false;
        for (std::int32_t i = 0; i < count; ++i) {
            if (!Need(kExtFixedSize - 4, what)) return false;
            Skip(kExtFixedSize - 4);
            std::int32_t n;
            if (!Count(n, 4, "program numbers")) return false;
            Skip(4 * static_cast<std::size_t>(n));
        }
        return true;
    }

    bool HistList(const char* what) {
        std::int32_t count;
        if (!Count(count, kHistEntryFixedSize - 4, what)) return false;
        if (!Need(4, what)) return false;
        std::size_t limitAt = Offset();
        Skip(4);  // the limit: any value is read as it is
        // The count was checked before the limit was read; check it again now
        // that four more bytes are gone.
        if (static_cast<std::uint64_t>(count) * kHistEntryFixedSize > Remaining())
            return FailAt(limitAt - 4, std::string("impossible count ") + std::to_string(count) + " of " + what);
        for (std::int32_t i = 0; i < count; ++i) {
            if (!Need(kHistEntryFixedSize, what)) return false;
            HistEntryView entry(data_ + pos_);
            std::size_t countAt = pos_ + 4;
            Skip(kHistEntryFixedSize);
            std::int32_t n = entry.ItemCount();
            if (n < 0 || static_cast<std::uint64_t>(n) * entry.ItemSize() > Remaining())
                return FailAt(countAt, "impossible item count " + std::to_string(n));
            Skip(entry.ItemSize() * static_cast<std::size_t>(n));
        }
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    Fault& fault_;
};

void CopyExts(const std::uint8_t* p, std::vector<StoredExt>& exts) {
    exts.resize(static_cast<std::size_t>(I32At(p)));
    p += 4;
    for (StoredExt& e : exts) {
        ExtView v(p);
        e.Id = v.Id();
        e.Name = v.Name();
        e.MenuFlag = v.MenuFlag();
        std::memcpy(e.SpareArea.data(), v.SpareArea(), e.SpareArea.size());
        e.ProgIds.resize(static_cast<std::size_t>(v.ProgCount()));
        for (std::int32_t i = 0; i < v.ProgCount(); ++i) e.ProgIds[static_cast<std::size_t>(i)] = v.ProgId(i);
        p = v.Next();
    }
}

void CopyHistList(const std::uint8_t* p, StoredHistList& list) {
    list.Entries.resize(static_cast<std::size_t>(I32At(p)));
    list.Limit = I32At(p + 4);
    p += 8;
    for (StoredHistEntry& e : list.Entries) {
        HistEntryView v(p);
        e.ProgId = v.ProgId();
        e.HasParams = v.HasParams();
        e.Items.resize(static_cast<std::size_t>(v.ItemCount()));
        for (std::int32_t i = 0; i < v.ItemCount(); ++i) {
            auto& item = e.Items[static_cast<std::size_t>(i)];
            item.Text = v.Text(i);
            if (e.HasParams == 1) item.Param = v.Param(i);
        }
        p = v.Next();
    }
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

bool Scan(const std::uint8_t* data, std::size_t size, Sections& s, Fault& fault) {
    Scanner r(data, size, fault);
    if (!r.Need(kHeaderSize, "the header")) return false;
    r.Skip(kHeaderSize);
    s.Progs = r.Offset();
    std::int32_t count;
    if (!r.Count(count, kProgramSize, "programs")) return false;
    r.Skip(kProgramSize * static_cast<std::size_t>(count));
    s.Categories = r.Offset();
    if (!r.Exts("categories")) return false;
    s.Extensions = r.Offset();
    if (!r.Exts("extensions")) return false;
    s.History = r.Offset();
    if (!r.HistList("the launch history")) return false;
    s.ExtParams = r.Offset();
    if (!r.HistList("the parameter store")) return false;
    // Bytes after the last section belong to no field; they are ignored, as
    // bytes after a text terminator are.
    s.End = r.Offset();
    return true;
}

void ReadHead(const std::uint8_t* p, THead& h) {
    h.SpareNo = I32At(p);
    h.HistoryMax = I32At(p + 4);
    h.CountDate = F64At(p + 8);
    h.MainPage = I32At(p + 16);
    h.CategoryIndex = I32At(p + 20);
    h.ExtensionIndex = I32At(p + 24);
    h.MenuAtStart = I32At(p + 28);
    h.ProxyHost = TextAt(p + 32, kLongTextWidth);
    h.ProxyPort = I32At(p + 288);
    h.SmtpUser = TextAt(p + 292, kSmtpUserWidth);
    h.SmtpHost = TextAt(p + 316, kLongTextWidth);
    h.MailAddress = TextAt(p + 572, kLongTextWidth);
    h.Flags = static_cast<std::uint32_t>(I32At(p + 828));
    std::memcpy(h.SpareArea.data(), p + 832, h.SpareArea.size());
}

void ReadProgram(const std::uint8_t* p, TProg& prog) {
    prog.Id = I32At(p);
    prog.Path = TextAt(p + 4, kPathWidth);
    prog.Title = TextAt(p + 516, kTitleWidth);
    prog.LastLaunch = F64At(p + 560);
    prog.TodayCount = I32At(p + 568);
    prog.TotalCount = I32At(p + 572);
    prog.SpareNo = I32At(p + 576);
    prog.AssignEdited = I32At(p + 580);
    prog.TitleIndex = I32At(p + 584);
    std::memcpy(prog.SpareArea.data(), p + 588, prog.SpareArea.size());
}

bool Parse(const std::uint8_t* data, std::size_t size, Image& image, Fault& fault) {
    Sections s;
    if (!Scan(data, size, s, fault)) return false;
    ReadHead(data, image.Head);
    image.Progs.resize(static_cast<std::size_t>(I32At(data + s.Progs)));
    const std::uint8_t* p = data + s.Progs + 4;
    for (TProg& prog : image.Progs) {
        ReadProgram(p, prog);
        p += kProgramSize;
    }
    CopyExts(data + s.Categories, image.Categories);
    CopyExts(data + s.Extensions, image.Extensions);
    CopyHistList(data + s.History, image.History);
    CopyHistList(data + s.ExtParams, image.ExtParams);
    image.TrailingBytes = size - s.End;
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
