// An owning list of records under string keys, in insertion order, with
// case-insensitive lookup that answers the first match in list order. An
// index beside the list keeps lookups and appends constant-time; operations
// that move records (delete, sort) rebuild it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/text.h"

namespace kumoya {

template <class T>
class KeyedList {
public:
    std::size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    T& At(std::size_t i) const { return *entries_[i].item; }
    const std::string& KeyAt(std::size_t i) const { return entries_[i].key; }

    // Position of the first record whose key equals `key` without regard to
    // case, or -1.
    int IndexOf(std::string_view key) const {
        auto it = index_.find(sjis::UpperAscii(key));
        return it == index_.end() ? -1 : static_cast<int>(it->second);
    }
    T* Find(std::string_view key) const {
        int i = IndexOf(key);
        return i < 0 ? nullptr : entries_[static_cast<std::size_t>(i)].item.get();
    }

    T& Append(std::string key, std::unique_ptr<T> item) {
        index_.emplace(sjis::UpperAscii(key), entries_.size());  // keeps an earlier equal key
        entries_.push_back({std::move(key), std::move(item)});
        return *entries_.back().item;
    }
    void Delete(std::size_t i) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        RebuildIndex();
    }
    void Clear() {
        entries_.clear();
        index_.clear();
    }
    void Reserve(std::size_t n) {
        entries_.reserve(n);
        index_.reserve(n);
    }
    // Ascending by key without regard to case; records with equal keys keep
    // their order, so the first match stays the first match.
    void SortByKey() {
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return sjis::CompareIgnoreCase(a.key, b.key) < 0;
        });
        RebuildIndex();
    }

private:
    struct Entry {
        std::string key;
        std::unique_ptr<T> item;
    };
    void RebuildIndex() {
        index_.clear();
        for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(sjis::UpperAscii(entries_[i].key), i);
    }

    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

// Hands out the smallest number >= 0 that no record uses. Numbers are counted,
// since a catalogue written elsewhere may repeat one.
class NumberAllocator {
public:
    void Use(int n) {
        ++used_[n];
        while (hint_ < kMax && used_.count(hint_)) ++hint_;
    }
    void Release(int n) {
        auto it = used_.find(n);
        if (it == used_.end()) return;
        if (--it->second == 0) {
            used_.erase(it);
            if (n >= 0 && n < hint_) hint_ = n;
        }
    }
    void Clear() {
        used_.clear();
        hint_ = 0;
    }
    void Reserve(std::size_t n) { used_.reserve(n); }
    bool InUse(int n) const { return used_.count(n) != 0; }
    // -1 when every number up to 2147483646 is taken.
    int SmallestFree() const { return hint_ < kMax ? hint_ : -1; }

private:
    static constexpr int kMax = 2147483647;
    std::unordered_map<int, int> used_;
    int hint_ = 0;  // every number below it is in use
};

}  // namespace kumoya
