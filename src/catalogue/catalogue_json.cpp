#include "catalogue/catalogue_json.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/codec.h"

namespace kumoya::catalogue_json {

namespace fmt = catalogue_format;
using json::Value;

namespace {

const char* kHex = "0123456789abcdef";

std::string ToHex(const std::uint8_t* p, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += kHex[p[i] >> 4];
        out += kHex[p[i] & 15];
    }
    return out;
}

bool FromHex(const std::string& hex, std::vector<std::uint8_t>& out) {
    if (hex.size() % 2) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    out.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

Value TextValue(const std::string& sjis) {
    auto utf8 = platform::SjisToUtf8(sjis);
    if (utf8) {
        auto back = platform::Utf8ToSjis(*utf8);
        if (back && *back == sjis) return Value::Str(*utf8);
    }
    Value v = Value::MakeObject();
    v.Set("hex", Value::Str(ToHex(reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size())));
    return v;
}

// Spare areas: hex with the trailing zero bytes left out.
template <std::size_t N>
Value SpareValue(const std::array<std::uint8_t, N>& a) {
    std::size_t n = N;
    while (n > 0 && a[n - 1] == 0) --n;
    return Value::Str(ToHex(a.data(), n));
}

// Doubles as numbers that convert back exactly; values JSON cannot hold
// (NaN, infinities) as their bits.
Value DoubleValue(double d) {
    if (std::isfinite(d)) return Value::Number(d);
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Value v = Value::MakeObject();
    v.Set("bits", Value::Str(ToHex(reinterpret_cast<const std::uint8_t*>(&bits), 8)));
    return v;
}

class Reader {
public:
    explicit Reader(std::string& error) : error_(error) {}

    bool Fail(const std::string& where, const std::string& what) {
        if (error_.empty()) error_ = where + ": " + what;
        return false;
    }
    const Value* Member(const Value& obj, const char* key, const std::string& where) {
        const Value* v = obj.IsObject() ? obj.Get(key) : nullptr;
        if (!v) Fail(where, std::string("missing \"") + key + "\"");
        return v;
    }
    bool Int(const Value& obj, const char* key, const std::string& where, std::int32_t& out) {
        const Value* v = Member(obj, key, where);
        if (!v) return false;
        double d = v->AsDouble();
        if (!v->IsNumber() || d != std::floor(d) || d < std::numeric_limits<std::int32_t>::min() ||
            d > std::numeric_limits<std::uint32_t>::max())
            return Fail(where + "." + key, "not a 32-bit integer");
        out = d > std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(static_cast<std::uint32_t>(d))
                                                           : static_cast<std::int32_t>(d);
        return true;
    }
    bool Double(const Value& obj, const char* key, const std::string& where, double& out) {
        const Value* v = Member(obj, key, where);
        if (!v) return false;
        if (v->IsNumber()) {
            out = v->AsDouble();
            return true;
        }
        std::vector<std::uint8_t> bits;
        const Value* b = v->IsObject() ? v->Get("bits") : nullptr;
        if (!b || !b->IsString() || !FromHex(b->AsString(), bits) || bits.size() != 8)
            return Fail(where + "." + key, "not a number");
        std::memcpy(&out, bits.data(), 8);
        return true;
    }
    bool Text(const Value& obj, const char* key, const std::string& where, std::size_t width, std::string& out) {
        const Value* v = Member(obj, key, where);
        return v && TextOf(*v, where + "." + key, width, out);
    }
    // Text that fits its stored field (terminator included) and has no zero
    // byte inside, so that the file holds exactly what the JSON says.
    bool TextOf(const Value& v, const std::string& where, std::size_t width, std::string& out) {
        if (v.IsString()) {
            auto sjis = platform::Utf8ToSjis(v.AsString());
            if (!sjis) return Fail(where, "text has no Shift_JIS form");
            out = *sjis;
        } else {
            std::vector<std::uint8_t> bytes;
            const Value* h = v.IsObject() ? v.Get("hex") : nullptr;
            if (!h || !h->IsString() || !FromHex(h->AsString(), bytes)) return Fail(where, "not text");
            out.assign(bytes.begin(), bytes.end());
        }
        if (out.size() >= width)
            return Fail(where, std::to_string(out.size()) + " bytes in Shift_JIS, at most " +
                                   std::to_string(width - 1) + " fit");
        if (out.find('\0') != std::string::npos) return Fail(where, "contains a zero byte");
        return true;
    }
    template <std::size_t N>
    bool Spare(const Value& obj, const char* key, const std::string& where, std::array<std::uint8_t, N>& out) {
        const Value* v = Member(obj, key, where);
        if (!v) return false;
        std::vector<std::uint8_t> bytes;
        if (!v->IsString() || !FromHex(v->AsString(), bytes) || bytes.size() > N)
            return Fail(where + "." + key, "not hex of at most " + std::to_string(N) + " bytes");
        out.fill(0);
        std::copy(bytes.begin(), bytes.end(), out.begin());
        return true;
    }
    const Value* Array(const Value& obj, const char* key, const std::string& where) {
        const Value* v = Member(obj, key, where);
        if (v && !v->IsArray()) {
            Fail(where + "." + key, "not an array");
            return nullptr;
        }
        return v;
    }

private:
    std::string& error_;
};

Value ExtsToJson(const std::vector<fmt::StoredExt>& exts) {
    Value arr = Value::MakeArray();
    for (const auto& e : exts) {
        Value o = Value::MakeObject();
        o.Set("Id", Value::Integer(e.Id));
        o.Set("Name", TextValue(e.Name));
        o.Set("MenuFlag", Value::Integer(e.MenuFlag));
        o.Set("SpareArea", SpareValue(e.SpareArea));
        Value ids = Value::MakeArray();
        for (auto id : e.ProgIds) ids.Push(Value::Integer(id));
        o.Set("ProgIds", std::move(ids));
        arr.Push(std::move(o));
    }
    return arr;
}

Value HistToJson(const fmt::StoredHistList& list) {
    Value o = Value::MakeObject();
    o.Set("Limit", Value::Integer(list.Limit));
    Value entries = Value::MakeArray();
    for (const auto& e : list.Entries) {
        Value eo = Value::MakeObject();
        eo.Set("ProgId", Value::Integer(e.ProgId));
        eo.Set("HasParams", Value::Integer(e.HasParams));
        Value items = Value::MakeArray();
        for (const auto& item : e.Items) {
            if (e.HasParams != 1) {
                items.Push(TextValue(item.Text));
                continue;
            }
            Value io = Value::MakeObject();
            io.Set("Text", TextValue(item.Text));
            io.Set("Param", TextValue(item.Param));
            items.Push(std::move(io));
        }
        eo.Set("Items", std::move(items));
        entries.Push(std::move(eo));
    }
    o.Set("Entries", std::move(entries));
    return o;
}

bool ExtsFromJson(Reader& r, const Value& root, const char* key, std::vector<fmt::StoredExt>& out) {
    const Value* arr = r.Array(root, key, "catalogue");
    if (!arr) return false;
    out.clear();
    for (std::size_t i = 0; i < arr->Items().size(); ++i) {
        const Value& o = arr->Items()[i];
        std::string where = std::string(key) + "[" + std::to_string(i) + "]";
        fmt::StoredExt e;
        if (!r.Int(o, "Id", where, e.Id) || !r.Text(o, "Name", where, kNameWidth, e.Name) ||
            !r.Int(o, "MenuFlag", where, e.MenuFlag) || !r.Spare(o, "SpareArea", where, e.SpareArea))
            return false;
        const Value* ids = r.Array(o, "ProgIds", where);
        if (!ids) return false;
        for (const auto& id : ids->Items()) {
            if (!id.IsNumber()) return r.Fail(where + ".ProgIds", "not a number");
            e.ProgIds.push_back(static_cast<std::int32_t>(id.AsDouble()));
        }
        out.push_back(std::move(e));
    }
    return true;
}

bool HistFromJson(Reader& r, const Value& root, const char* key, fmt::StoredHistList& out) {
    const Value* o = r.Member(root, key, "catalogue");
    if (!o) return false;
    if (!r.Int(*o, "Limit", key, out.Limit)) return false;
    const Value* entries = r.Array(*o, "Entries", key);
    if (!entries) return false;
    out.Entries.clear();
    for (std::size_t i = 0; i < entries->Items().size(); ++i) {
        const Value& eo = entries->Items()[i];
        std::string where = std::string(key) + ".Entries[" + std::to_string(i) + "]";
        fmt::StoredHistEntry e;
        if (!r.Int(eo, "ProgId", where, e.ProgId) || !r.Int(eo, "HasParams", where, e.HasParams)) return false;
        const Value* items = r.Array(eo, "Items", where);
        if (!items) return false;
        for (std::size_t k = 0; k < items->Items().size(); ++k) {
            const Value& iv = items->Items()[k];
            std::string iw = where + ".Items[" + std::to_string(k) + "]";
            fmt::StoredItem item;
            if (e.HasParams == 1) {
                if (!r.Text(iv, "Text", iw, kHistoryItemWidth, item.Text) || !r.Text(iv, "Param", iw, kParamWidth, item.Param)) return false;
            } else if (!r.TextOf(iv, iw, kHistoryItemWidth, item.Text)) {
                return false;
            }
            e.Items.push_back(std::move(item));
        }
        out.Entries.push_back(std::move(e));
    }
    return true;
}

}  // namespace

Value ToJson(const fmt::Image& image) {
    Value root = Value::MakeObject();
    const THead& h = image.Head;
    Value head = Value::MakeObject();
    head.Set("SpareNo", Value::Integer(h.SpareNo));
    head.Set("HistoryMax", Value::Integer(h.HistoryMax));
    head.Set("CountDate", DoubleValue(h.CountDate));
    head.Set("MainPage", Value::Integer(h.MainPage));
    head.Set("CategoryIndex", Value::Integer(h.CategoryIndex));
    head.Set("ExtensionIndex", Value::Integer(h.ExtensionIndex));
    head.Set("MenuAtStart", Value::Integer(h.MenuAtStart));
    head.Set("ProxyHost", TextValue(h.ProxyHost));
    head.Set("ProxyPort", Value::Integer(h.ProxyPort));
    head.Set("SmtpUser", TextValue(h.SmtpUser));
    head.Set("SmtpHost", TextValue(h.SmtpHost));
    head.Set("MailAddress", TextValue(h.MailAddress));
    head.Set("Flags", Value::Integer(h.Flags));
    head.Set("SpareArea", SpareValue(h.SpareArea));
    root.Set("Head", std::move(head));

    Value progs = Value::MakeArray();
    for (const TProg& p : image.Progs) {
        Value o = Value::MakeObject();
        o.Set("Id", Value::Integer(p.Id));
        o.Set("Path", TextValue(p.Path));
        o.Set("Title", TextValue(p.Title));
        o.Set("LastLaunch", DoubleValue(p.LastLaunch));
        o.Set("TodayCount", Value::Integer(p.TodayCount));
        o.Set("TotalCount", Value::Integer(p.TotalCount));
        o.Set("SpareNo", Value::Integer(p.SpareNo));
        o.Set("AssignEdited", Value::Integer(p.AssignEdited));
        o.Set("TitleIndex", Value::Integer(p.TitleIndex));
        o.Set("SpareArea", SpareValue(p.SpareArea));
        progs.Push(std::move(o));
    }
    root.Set("Progs", std::move(progs));
    root.Set("Categories", ExtsToJson(image.Categories));
    root.Set("Extensions", ExtsToJson(image.Extensions));
    root.Set("History", HistToJson(image.History));
    root.Set("ExtParams", HistToJson(image.ExtParams));
    return root;
}

bool FromJson(const Value& root, fmt::Image& image, std::string& error) {
    error.clear();
    Reader r(error);
    if (!root.IsObject()) return r.Fail("catalogue", "not an object");
    const Value* head = r.Member(root, "Head", "catalogue");
    if (!head) return false;
    THead& h = image.Head;
    std::int32_t flags = 0;
    if (!r.Int(*head, "SpareNo", "Head", h.SpareNo) || !r.Int(*head, "HistoryMax", "Head", h.HistoryMax) ||
        !r.Double(*head, "CountDate", "Head", h.CountDate) || !r.Int(*head, "MainPage", "Head", h.MainPage) ||
        !r.Int(*head, "CategoryIndex", "Head", h.CategoryIndex) ||
        !r.Int(*head, "ExtensionIndex", "Head", h.ExtensionIndex) ||
        !r.Int(*head, "MenuAtStart", "Head", h.MenuAtStart) || !r.Text(*head, "ProxyHost", "Head", kLongTextWidth, h.ProxyHost) ||
        !r.Int(*head, "ProxyPort", "Head", h.ProxyPort) || !r.Text(*head, "SmtpUser", "Head", kSmtpUserWidth, h.SmtpUser) ||
        !r.Text(*head, "SmtpHost", "Head", kLongTextWidth, h.SmtpHost) || !r.Text(*head, "MailAddress", "Head", kLongTextWidth, h.MailAddress) ||
        !r.Int(*head, "Flags", "Head", flags) || !r.Spare(*head, "SpareArea", "Head", h.SpareArea))
        return false;
    h.Flags = static_cast<std::uint32_t>(flags);

    const Value* progs = r.Array(root, "Progs", "catalogue");
    if (!progs) return false;
    image.Progs.clear();
    for (std::size_t i = 0; i < progs->Items().size(); ++i) {
        const Value& o = progs->Items()[i];
        std::string where = "Progs[" + std::to_string(i) + "]";
        TProg p;
        if (!r.Int(o, "Id", where, p.Id) || !r.Text(o, "Path", where, kPathWidth, p.Path) || !r.Text(o, "Title", where, kTitleWidth, p.Title) ||
            !r.Double(o, "LastLaunch", where, p.LastLaunch) || !r.Int(o, "TodayCount", where, p.TodayCount) ||
            !r.Int(o, "TotalCount", where, p.TotalCount) || !r.Int(o, "SpareNo", where, p.SpareNo) ||
            !r.Int(o, "AssignEdited", where, p.AssignEdited) || !r.Int(o, "TitleIndex", where, p.TitleIndex) ||
            !r.Spare(o, "SpareArea", where, p.SpareArea))
            return false;
        image.Progs.push_back(std::move(p));
    }
    return ExtsFromJson(r, root, "Categories", image.Categories) &&
           ExtsFromJson(r, root, "Extensions", image.Extensions) && HistFromJson(r, root, "History", image.History) &&
           HistFromJson(r, root, "ExtParams", image.ExtParams);
}

}  // namespace kumoya::catalogue_json
