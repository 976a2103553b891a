#include "catalogue/nfile.h"

#include <algorithm>
#include <cstring>

#include "catalogue/catalogue_format.h"
#include "platform/datetime.h"
#include "platform/files.h"

namespace kumoya {

namespace fmt = catalogue_format;

std::string CatalogueFile() { return platform::ProgramFolder() + platform::ComputerName() + ".dat"; }

TNFile::TNFile() : TNFile(CatalogueFile()) {}

TNFile::TNFile(std::string fileName) : fileName_(std::move(fileName)) {}

void TNFile::ResetToDefaults() {
    Head = THead();
    Progs.Clear();
    Categories.Clear();
    Extensions.Clear();
    History.Clear();
    History.Limit = 3;
    ExtParams.Clear();
    ExtParams.Limit = 100;
}

namespace {

// The records are built straight from the scanned bytes, with no copy of
// the file's contents in between.
void FillExtList(TExtList& list, const std::uint8_t* p, std::vector<std::int32_t>& ids) {
    list.Clear();
    std::int32_t count = fmt::I32At(p);
    list.Reserve(static_cast<std::size_t>(count));
    p += 4;
    for (std::int32_t i = 0; i < count; ++i) {
        fmt::ExtView stored(p);
        auto ext = std::make_unique<TExt>();
        ext->Id = stored.Id();
        ext->Name = stored.Name();
        ext->MenuFlag = stored.MenuFlag();
        std::memcpy(ext->SpareArea.data(), stored.SpareArea(), ext->SpareArea.size());
        ids.resize(static_cast<std::size_t>(stored.ProgCount()));
        for (std::int32_t k = 0; k < stored.ProgCount(); ++k) ids[static_cast<std::size_t>(k)] = stored.ProgId(k);
        ext->SetProgIds(ids);  // duplicates collapse
        list.AppendStored(std::move(ext));
        p = stored.Next();
    }
}

void FillHistList(THistList& list, const std::uint8_t* p) {
    list.Clear();
    std::int32_t count = fmt::I32At(p);
    list.Reserve(static_cast<std::size_t>(count));
    list.Limit = fmt::I32At(p + 4);
    p += 8;
    for (std::int32_t i = 0; i < count; ++i) {
        fmt::HistEntryView stored(p);
        auto entry = std::make_unique<THist>();
        entry->ProgId = stored.ProgId();
        // Stored newest first: each item goes below the ones before it unless
        // an equal one is there, until the limit is reached. This gives what
        // adding them from the oldest with AddItem gives.
        const bool withParams = stored.HasParams() == 1;
        const std::int32_t n = stored.ItemCount();
        entry->Reserve(static_cast<std::size_t>(std::min(n, std::max(list.Limit, 0))));
        for (std::int32_t k = 0; k < n && entry->ItemCount() < list.Limit; ++k) {
            if (withParams)
                entry->AppendStored(stored.Text(k), std::make_unique<TvorParam>(TvorParam{std::string(stored.Param(k))}));
            else
                entry->AppendStored(stored.Text(k), nullptr);
        }
        list.AppendStored(std::move(entry));
        p = stored.Next();
    }
}

std::vector<fmt::StoredExt> StoreExtList(const TExtList& list) {
    std::vector<fmt::StoredExt> out(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        const TExt& e = list.At(i);
        auto& s = out[static_cast<std::size_t>(i)];
        s.Id = e.Id;
        s.Name = e.Name;
        s.MenuFlag = e.MenuFlag;
        s.SpareArea = e.SpareArea;
        s.ProgIds = e.CopyProgIds();
    }
    return out;
}

fmt::StoredHistList StoreHistList(const THistList& list) {
    fmt::StoredHistList out;
    out.Limit = list.Limit;
    out.Entries.resize(static_cast<std::size_t>(list.Count()));
    for (int i = 0; i < list.Count(); ++i) {
        const THist& h = list.At(i);
        auto& s = out.Entries[static_cast<std::size_t>(i)];
        s.ProgId = h.ProgId;
        s.HasParams = h.ItemCount() > 0 && h.ItemAt(0).Param ? 1 : 0;
        s.Items.resize(static_cast<std::size_t>(h.ItemCount()));
        for (int k = 0; k < h.ItemCount(); ++k) {
            const auto& item = h.ItemAt(k);
            s.Items[static_cast<std::size_t>(k)].Text = item.Text;
            if (item.Param) s.Items[static_cast<std::size_t>(k)].Param = item.Param->Text;
        }
    }
    return out;
}

}  // namespace

int TNFile::Load() {
    loadError_.clear();
    loadFailure_ = platform::FileFailure::None;
    keepStoredFile_ = false;
    // Mapped rather than read: the records are built straight from the
    // file's pages, without a copy of the whole file first.
    auto mapped = platform::MappedFile::Open(fileName_);
    if (!mapped && platform::LastFileFailure() == platform::FileFailure::Absent) return kNoFile;
    int result = kUnreadable;
    if (!mapped) {
        // Something is there that cannot be read now: not a first run, and
        // not damage either.
        ResetToDefaults();
        loadFailure_ = platform::LastFileFailure();
        loadError_ = "cannot read " + fileName_ + ": " + platform::LastError();
    } else {
        result = LoadFromBytes(mapped->data(), mapped->size());
    }
    keepStoredFile_ = result != kLoaded;
    return result;
}

int TNFile::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
    loadError_.clear();
    fmt::Sections sections;
    fmt::Fault fault;
    if (!fmt::Scan(data, size, sections, fault)) {
        ResetToDefaults();
        loadError_ = fault.What + " at offset " + std::to_string(fault.Offset);
        return kDamaged;
    }
    Head = THead();
    fmt::ReadHead(data, Head);
    Progs.Clear();
    std::int32_t count = fmt::I32At(data + sections.Progs);
    Progs.Reserve(static_cast<std::size_t>(count));
    const std::uint8_t* p = data + sections.Progs + 4;
    for (std::int32_t i = 0; i < count; ++i, p += fmt::kProgramSize) {
        auto prog = std::make_unique<TProg>();
        fmt::ReadProgram(p, *prog);
        Progs.AppendStored(std::move(prog));
    }
    std::vector<std::int32_t> ids;
    FillExtList(Categories, data + sections.Categories, ids);
    FillExtList(Extensions, data + sections.Extensions, ids);
    Extensions.Sort();
    FillHistList(History, data + sections.History);
    FillHistList(ExtParams, data + sections.ExtParams);
    return kLoaded;
}

int TNFile::Save() {
    saveError_.clear();
    saveFailure_ = platform::FileFailure::None;
    if (keepStoredFile_ && (platform::FileExists(fileName_) || platform::DirectoryExists(fileName_))) {
        saveError_ = "the catalogue " + fileName_ + " that could not be loaded is still in place; it is not overwritten";
        return -1;
    }
    if (!platform::ReplaceFileAtomically(fileName_, SaveToBytes())) {
        saveError_ = "cannot write " + fileName_ + ": " + platform::LastError();
        saveFailure_ = platform::LastFileFailure();
        return -1;
    }
    keepStoredFile_ = false;
    return 0;
}

TExt* TNFile::FindExtensionFor(std::string_view fileName) const {
    std::string key = ExtensionKey(fileName);
    TExt* ext = nullptr;
    // A name without an extension matches no record, whatever is stored.
    if (key.empty() || Extensions.FindByName(key, ext) != 0) return nullptr;
    return ext;
}

std::vector<std::uint8_t> TNFile::SaveToBytes() const {
    fmt::Image image;
    image.Head = Head;
    image.Progs.reserve(static_cast<std::size_t>(Progs.Count()));
    for (int i = 0; i < Progs.Count(); ++i) image.Progs.push_back(Progs.At(i));
    image.Categories = StoreExtList(Categories);
    image.Extensions = StoreExtList(Extensions);
    image.History = StoreHistList(History);
    image.ExtParams = StoreHistList(ExtParams);
    return fmt::Serialize(image);
}

template <class F>
void TNFile::ForEachProg(const TExt& ext, F f) const {
    for (auto id : ext.CopyProgIds()) {
        TProg* p = nullptr;
        if (Progs.FindById(id, p) == 0) f(*p);
    }
}

int TNFile::TitlesOf(const TExt& ext, std::vector<std::string>& out) const {
    out.clear();
    ForEachProg(ext, [&](TProg& p) { out.push_back(p.Title); });
    return 0;
}

int TNFile::PathsOf(const TExt& ext, std::vector<std::string>& out) const {
    out.clear();
    ForEachProg(ext, [&](TProg& p) { out.push_back(p.Path); });
    return 0;
}

int TNFile::ProgsOf(const TExt& ext, std::vector<TProg*>& out) const {
    out.clear();
    ForEachProg(ext, [&](TProg& p) { out.push_back(&p); });
    return 0;
}

int TNFile::TitlesForFile(std::string_view fileName, std::vector<std::string>& out) const {
    TExt* ext = FindExtensionFor(fileName);
    if (!ext) return -1;
    return TitlesOf(*ext, out);
}

int TNFile::PathsForFile(std::string_view fileName, std::vector<std::string>& out) const {
    TExt* ext = FindExtensionFor(fileName);
    if (!ext) return -1;
    return PathsOf(*ext, out);
}

int TNFile::ProgsForFile(std::string_view fileName, std::vector<TProg*>& out) const {
    TExt* ext = FindExtensionFor(fileName);
    if (!ext) return -1;
    return ProgsOf(*ext, out);
}

int TNFile::DeleteCategory(std::string_view name) { return Categories.Delete(Categories.IndexOf(name)); }

int TNFile::DeleteExtension(std::string_view name) { return Extensions.Delete(Extensions.IndexOf(name)); }

int TNFile::CheckNewDay() {
    if (Head.IsNewDay() != 0) {
        Progs.ResetTodayCounts();
        Head.CountDate = platform::SystemClock().Now();
    }
    return 0;
}

int TNFile::AddHistory(std::string_view file, const TProg& prog) {
    if (file.empty()) return 0;
    THist* entry = nullptr;
    if (History.FindByProg(prog.Id, entry) != 0) {
        THist empty;
        empty.ProgId = prog.Id;
        History.AddEntry(empty);
        History.FindByProg(prog.Id, entry);
    }
    entry->AddItem(History.Limit, file);
    return 0;
}

}  // namespace kumoya
