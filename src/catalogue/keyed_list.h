// An owning list of records under string keys, in insertion order, with
// case-insensitive lookup that answers the first match in list order. An
// index beside the list keeps lookups and appends constant-time. The index
// is brought up to date by the first lookup after a change, so that filling
// a list (a catalogue being loaded) costs no hashing until it is searched;
// operations that move records (delete, sort) start it afresh.
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
        CatchUpIndex();
        auto it = index_.find(sjis::UpperAscii(key));
        return it == index_.end() ? -1 : static_cast<int>(it->second);
    }
    T* Find(std::string_view key) const {
        int i = IndexOf(key);
        return i < 0 ? nullptr : entries_[static_cast<std::size_t>(i)].item.get();
    }

    T& Append(std::string key, std::unique_ptr<T> item) {
        entries_.push_back({std::move(key), std::move(item)});
        return *entries_.back().item;
    }
    void Delete(std::size_t i) {
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        ForgetIndex();
    }
    void Clear() {
        entries_.clear();
        ForgetIndex();
    }
    void Reserve(std::size_t n) { entries_.reserve(n); }
    // Ascending by key without regard to case; records with equal keys keep
    // their order, so the first match stays the first match.
    void SortByKey() {
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return sjis::CompareIgnoreCase(a.key, b.key) < 0;
        });
        ForgetIndex();
    }

private:
    struct Entry {
        std::string key;
        std::unique_ptr<T> item;
    };
    void ForgetIndex() {
        index_.clear();
        indexed_ = 0;
    }
    // Adds the entries appended since the last lookup; an earlier equal key
    // keeps its place.
    void CatchUpIndex() const {
        if (indexed_ == entries_.size()) return;
        if (indexed_ == 0) index_.reserve(entries_.size());
        for (; indexed_ < entries_.size(); ++indexed_) index_.emplace(sjis::UpperAscii(entries_[indexed_].key), indexed_);
    }

    std::vector<Entry> entries_;
    mutable std::unordered_map<std::string, std::size_t> index_;
    mutable std::size_t indexed_ = 0;  // entries [0, indexed_) are in the index
};

// Hands out the smallest number >= 0 that no record uses. Numbers are counted,
// since a catalogue written elsewhere may repeat one. Numbers taken are only
// noted until the first question, so that loading a large catalogue costs no
// hashing.
class NumberAllocator {
public:
    void Use(int n) { pending_.push_back(n); }
    void Release(int n) {
        Settle();
        auto it = used_.find(n);
        if (it == used_.end()) return;
        if (--it->second == 0) {
            used_.erase(it);
            if (n >= 0 && n < hint_) hint_ = n;
        }
    }
    void Clear() {
        used_.clear();
        pending_.clear();
        hint_ = 0;
    }
    void Reserve(std::size_t n) { pending_.reserve(n); }
    bool InUse(int n) const {
        Settle();
        return used_.count(n) != 0;
    }
    // -1 when every number up to 2147483646 is taken.
    int SmallestFree() const {
        Settle();
        return hint_ < kMax ? hint_ : -1;
    }

private:
    static constexpr int kMax = 2147483647;
    void Settle() const {
        if (pending_.empty()) return;
        used_.reserve(used_.size() + pending_.size());
        for (int n : pending_) ++used_[n];
        pending_.clear();
        pending_.shrink_to_fit();
        while (hint_ < kMax && used_.count(hint_)) ++hint_;
    }
    mutable std::unordered_map<int, int> used_;
    mutable std::vector<int> pending_;
    mutable int hint_ = 0;  // every number below it is in use
};

}  // namespace kumoya
