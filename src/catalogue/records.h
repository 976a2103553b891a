// The records of the catalogue and the lists that own them: programs,
// categories and extensions, per-program string lists (launch history and
// parameter templates), and the settings header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/keyed_list.h"

namespace kumoya {

// Stored field widths (bytes, terminator included).
inline constexpr std::size_t kPathWidth = 512;
inline constexpr std::size_t kTitleWidth = 40;
inline constexpr std::size_t kNameWidth = 32;
inline constexpr std::size_t kParamWidth = 80;
inline constexpr std::size_t kHistoryItemWidth = 512;
inline constexpr std::size_t kSmtpUserWidth = 24;
inline constexpr std::size_t kLongTextWidth = 256;

using SpareBytes512 = std::array<std::uint8_t, 512>;
using SpareBytes256 = std::array<std::uint8_t, 256>;

// The extension of a file name, upper case, without the dot: the key of every
// extension lookup ("a.txt" and "A.TXT" give "TXT"; no extension gives "").
std::string ExtensionKey(std::string_view fileName);

struct TProg {
    std::int32_t Id = 0;
    std::string Path;
    std::string Params;  // template of the launch in progress; never stored
    std::string Title;
    double LastLaunch = 0;
    std::int32_t TodayCount = 0;
    std::int32_t TotalCount = 0;
    std::int32_t SpareNo = 0;
    std::int32_t AssignEdited = 0;
    std::int32_t TitleIndex = -1;
    SpareBytes512 SpareArea{};
};

// A category or an extension.
class TExt {
public:
    std::int32_t Id = -1;
    std::string Name;
    std::int32_t MenuFlag = 0;
    SpareBytes512 SpareArea{};

    int IndexOfProg(std::int32_t id) const;
    int AddProg(std::int32_t id);
    int RemoveProg(std::int32_t id);
    int SwapProgs(int a, int b);
    int ProgCount() const { return static_cast<int>(ProgIds_.size()); }
    const std::vector<std::int32_t>& CopyProgIds() const { return ProgIds_; }
    int CopyProgIds(std::vector<std::int32_t>& into) const {
        into = ProgIds_;
        return 0;
    }
    // Replaces the numbers, keeping the first of any repeated one (as adding
    // them one by one with AddProg would, without its cost on long lists).
    void SetProgIds(const std::vector<std::int32_t>& ids);
    int Assign(const TExt& other);

private:
    std::vector<std::int32_t> ProgIds_;
};

struct TvorParam {
    std::string Text;
};

// An ordered list of unique strings (compared without regard to case), each
// with an optional parameter template, belonging to one program.
class THist {
public:
    struct Item {
        std::string Text;
        std::unique_ptr<TvorParam> Param;
    };

    std::int32_t ProgId = -1;

    int AddItem(int limit, std::string_view text);
    int AddItemWithParam(int limit, std::string_view text, std::string_view paramText);
    int RemoveItem(std::string_view text);
    int Truncate(int n);
    int ItemCount() const { return static_cast<int>(Items_.size()); }
    const Item& ItemAt(int i) const { return Items_[static_cast<std::size_t>(i)]; }
    int IndexOfItem(std::string_view text) const;
    // Empties `target` and appends every item with a reference to its
    // parameter (still owned here).
    int CopyItems(std::vector<std::pair<std::string, const TvorParam*>>& target) const;
    int Assign(const THist& other);
    // Puts an item below the others unless an equal one is there (-1 then);
    // used by the loader, which fills an entry newest first.
    int AppendStored(std::string_view text, std::unique_ptr<TvorParam> param);
    void Reserve(std::size_t n) { Items_.reserve(n); }

private:
    int PutOnTop(int limit, std::string_view text, std::unique_ptr<TvorParam> param);
    std::vector<Item> Items_;
};

class TProgList {
public:
    int FindById(std::int32_t id, TProg*& out) const;
    int FindByPath(std::string_view path, TProg*& out) const;
    // Copies `record` under the smallest free number, which is also written
    // back into `record.Id`. -1 when no number is free.
    int AddNew(TProg& record);
    // Appends a record as it was stored (number and all); used by the loader.
    TProg& AppendStored(std::unique_ptr<TProg> record);
    void Reserve(std::size_t n) {
        list_.Reserve(n);
        numbers_.Reserve(n);
    }
    int Clear();
    int ResetTotalCounts();
    int ResetTodayCounts();

    int Count() const { return static_cast<int>(list_.Count()); }
    TProg& At(int i) const { return list_.At(static_cast<std::size_t>(i)); }

    static std::string KeyOf(std::int32_t id);

private:
    KeyedList<TProg> list_;
    NumberAllocator numbers_;
};

class TExtList {
public:
    int FindByName(std::string_view name, TExt*& out) const;
    int AddNew(TExt& record);
    TExt& AppendStored(std::unique_ptr<TExt> record);
    void Reserve(std::size_t n) {
        list_.Reserve(n);
        numbers_.Reserve(n);
    }
    int Delete(int index);
    int Clear();
    void Sort() { list_.SortByKey(); }

    int Count() const { return static_cast<int>(list_.Count()); }
    TExt& At(int i) const { return list_.At(static_cast<std::size_t>(i)); }
    int IndexOf(std::string_view name) const { return list_.IndexOf(name); }

private:
    KeyedList<TExt> list_;
    NumberAllocator numbers_;
};

class THistList {
public:
    std::int32_t Limit = 3;

    explicit THistList(std::int32_t limit = 3) : Limit(limit) {}
    int FindByProg(std::int32_t progId, THist*& out) const;
    int AddEntry(const THist& entry);
    THist& AppendStored(std::unique_ptr<THist> entry);
    void Reserve(std::size_t n) { list_.Reserve(n); }
    int Clear();
    int SetLimit(std::int32_t n);

    int Count() const { return static_cast<int>(list_.Count()); }
    THist& At(int i) const { return list_.At(static_cast<std::size_t>(i)); }

private:
    KeyedList<THist> list_;
};

struct THead {
    static constexpr std::uint32_t NoUpdateQuestion = 1;

    std::int32_t SpareNo = 60;
    std::int32_t HistoryMax = 5;
    double CountDate = 0;
    std::int32_t MainPage = 0;
    std::int32_t CategoryIndex = -1;
    std::int32_t ExtensionIndex = -1;
    std::int32_t MenuAtStart = 1;
    std::string ProxyHost;
    std::int32_t ProxyPort = -1;
    std::string SmtpUser;
    std::string SmtpHost;
    std::string MailAddress;
    std::uint32_t Flags = 0;
    SpareBytes256 SpareArea{};

    // -1 when today (local clock, "yyyymmdd") is not the day of CountDate.
    int IsNewDay() const;
};

}  // namespace kumoya
