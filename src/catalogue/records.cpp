#include "catalogue/records.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "platform/datetime.h"
#include "platform/text.h"

namespace kumoya {

std::string ExtensionKey(std::string_view fileName) {
    std::string ext = sjis::Extension(fileName);
    return ext.empty() ? std::string() : sjis::UpperAscii(std::string_view(ext).substr(1));
}

// ---- TExt ----

int TExt::IndexOfProg(std::int32_t id) const {
    auto it = std::find(ProgIds_.begin(), ProgIds_.end(), id);
    return it == ProgIds_.end() ? -1 : static_cast<int>(it - ProgIds_.begin());
}

int TExt::AddProg(std::int32_t id) {
    if (IndexOfProg(id) < 0) ProgIds_.push_back(id);
    return 0;
}

int TExt::RemoveProg(std::int32_t id) {
    int i = IndexOfProg(id);
    if (i < 0) return -1;
    ProgIds_.erase(ProgIds_.begin() + i);
    return 0;
}

int TExt::SwapProgs(int a, int b) {
    int n = ProgCount();
    if (a < 0 || b < 0 || a >= n || b >= n) return -1;  // out of range: nothing to exchange
    std::swap(ProgIds_[static_cast<std::size_t>(a)], ProgIds_[static_cast<std::size_t>(b)]);
    return 0;
}

void TExt::SetProgIds(const std::vector<std::int32_t>& ids) {
    ProgIds_.clear();
    std::unordered_set<std::int32_t> seen;
    seen.reserve(ids.size());
    for (auto id : ids)
        if (seen.insert(id).second) ProgIds_.push_back(id);
}

int TExt::Assign(const TExt& other) {
    Id = other.Id;
    Name = other.Name;
    MenuFlag = other.MenuFlag;
    SpareArea = other.SpareArea;
    ProgIds_ = other.ProgIds_;
    return 0;
}

// ---- THist ----

int THist::IndexOfItem(std::string_view text) const {
    for (std::size_t i = 0; i < Items_.size(); ++i)
        if (sjis::EqualsIgnoreCase(Items_[i].Text, text)) return static_cast<int>(i);
    return -1;
}

int THist::PutOnTop(int limit, std::string_view text, std::unique_ptr<TvorParam> param) {
    int existing = IndexOfItem(text);
    if (existing >= 0) Items_.erase(Items_.begin() + existing);
    if (limit <= 0) return 0;  // a limit of 0 keeps nothing
    Truncate(limit - 1);
    Items_.insert(Items_.begin(), Item{std::string(text), std::move(param)});
    return 0;
}

int THist::AddItem(int limit, std::string_view text) { return PutOnTop(limit, text, nullptr); }

int THist::AddItemWithParam(int limit, std::string_view text, std::string_view paramText) {
    return PutOnTop(limit, text, std::make_unique<TvorParam>(TvorParam{std::string(paramText)}));
}

int THist::AppendStored(std::string_view text, std::unique_ptr<TvorParam> param) {
    if (IndexOfItem(text) >= 0) return -1;
    Items_.push_back(Item{std::string(text), std::move(param)});
    return 0;
}

int THist::RemoveItem(std::string_view text) {
    int i = IndexOfItem(text);
    if (i < 0) return -1;
    Items_.erase(Items_.begin() + i);
    return 0;
}

int THist::Truncate(int n) {
    std::size_t keep = n < 0 ? 0 : static_cast<std::size_t>(n);
    if (Items_.size() > keep) Items_.resize(keep);
    return 0;
}

int THist::CopyItems(std::vector<std::pair<std::string, const TvorParam*>>& target) const {
    target.clear();
    for (const auto& item : Items_) target.emplace_back(item.Text, item.Param.get());
    return 0;
}

int THist::Assign(const THist& other) {
    ProgId = other.ProgId;
    Items_.clear();
    for (const auto& item : other.Items_)
        Items_.push_back({item.Text, item.Param ? std::make_unique<TvorParam>(*item.Param) : nullptr});
    return 0;
}

// ---- TProgList ----

std::string TProgList::KeyOf(std::int32_t id) {
    if (id < 0) {
        char key[16];
        std::snprintf(key, sizeof key, "%05d", id);
        return key;
    }
    // "%05d" without the formatting machinery: one key per program is made
    // while loading.
    char digits[10];
    int n = 0;
    for (auto v = static_cast<std::uint32_t>(id); v != 0 || n == 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
    std::string key(n < 5 ? static_cast<std::size_t>(5 - n) : 0, '0');
    while (n > 0) key += digits[--n];
    return key;
}

int TProgList::FindById(std::int32_t id, TProg*& out) const {
    out = list_.Find(KeyOf(id));
    return out ? 0 : -1;
}

int TProgList::FindByPath(std::string_view path, TProg*& out) const {
    // Every byte from a to z is upper-cased on both sides, trail bytes
    // included, as paths have always been compared here.
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (std::size_t i = 0; i < list_.Count(); ++i) {
        TProg& p = list_.At(i);
        if (p.Path.size() == path.size() &&
            std::equal(path.begin(), path.end(), p.Path.begin(), [&](char a, char b) { return upper(a) == upper(b); })) {
            out = &p;
            return 0;
        }
    }
    out = nullptr;
    return -1;
}

int TProgList::AddNew(TProg& record) {
    int id = numbers_.SmallestFree();
    if (id < 0) return -1;
    record.Id = id;
    auto copy = std::make_unique<TProg>(record);
    copy->SpareNo = -1;
    AppendStored(std::move(copy));
    return 0;
}

TProg& TProgList::AppendStored(std::unique_ptr<TProg> record) {
    numbers_.Use(record->Id);
    std::string key = KeyOf(record->Id);
    return list_.Append(std::move(key), std::move(record));
}

int TProgList::Clear() {
    list_.Clear();
    numbers_.Clear();
    return 0;
}

int TProgList::ResetTotalCounts() {
    for (std::size_t i = 0; i < list_.Count(); ++i) list_.At(i).TotalCount = 0;
    return 0;
}

int TProgList::ResetTodayCounts() {
    for (std::size_t i = 0; i < list_.Count(); ++i) list_.At(i).TodayCount = 0;
    return 0;
}

// ---- TExtList ----

int TExtList::FindByName(std::string_view name, TExt*& out) const {
    out = list_.Find(name);
    return out ? 0 : -1;
}

int TExtList::AddNew(TExt& record) {
    if (list_.IndexOf(record.Name) >= 0) return -1;
    int id = numbers_.SmallestFree();
    if (id < 0) return -1;
    record.Id = id;
    auto copy = std::make_unique<TExt>();
    copy->Assign(record);
    AppendStored(std::move(copy));
    return 0;
}

TExt& TExtList::AppendStored(std::unique_ptr<TExt> record) {
    numbers_.Use(record->Id);
    std::string key = record->Name;
    return list_.Append(std::move(key), std::move(record));
}

int TExtList::Delete(int index) {
    if (index < 0 || index >= Count()) return -1;
    numbers_.Release(At(index).Id);
    list_.Delete(static_cast<std::size_t>(index));
    return 0;
}

int TExtList::Clear() {
    list_.Clear();
    numbers_.Clear();
    return 0;
}

// ---- THistList ----

int THistList::FindByProg(std::int32_t progId, THist*& out) const {
    out = list_.Find(std::to_string(progId));
    return out ? 0 : -1;
}

int THistList::AddEntry(const THist& entry) {
    THist* existing = nullptr;
    if (FindByProg(entry.ProgId, existing) != 0) {
        auto copy = std::make_unique<THist>();
        copy->Assign(entry);
        AppendStored(std::move(copy));
        return 0;
    }
    // Merge from the oldest item to the newest so the order stays as it was.
    for (int i = entry.ItemCount() - 1; i >= 0; --i) {
        const auto& item = entry.ItemAt(i);
        if (item.Param)
            existing->AddItemWithParam(Limit, item.Text, item.Param->Text);
        else
            existing->AddItem(Limit, item.Text);
    }
    return 0;
}

THist& THistList::AppendStored(std::unique_ptr<THist> entry) {
    std::string key = std::to_string(entry->ProgId);
    return list_.Append(std::move(key), std::move(entry));
}

int THistList::Clear() {
    list_.Clear();
    return 0;
}

int THistList::SetLimit(std::int32_t n) {
    // A negative size (a minus sign typed into the settings) keeps nothing,
    // rather than leaving entries that every later addition would cut oddly.
    Limit = n < 0 ? 0 : n;
    for (std::size_t i = 0; i < list_.Count(); ++i) list_.At(i).Truncate(Limit);
    return 0;
}

// ---- THead ----

int THead::IsNewDay() const {
    if (CountDate == 0) return -1;
    return platform::FormatYmd(platform::SystemClock().Now()) == platform::FormatYmd(CountDate) ? 0 : -1;
}

}  // namespace kumoya
