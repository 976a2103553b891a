// Any bytes as a catalogue file: loading stays within the input and never
// crashes; what loads is what the lists give when filled one stored record at
// a time through their own operations; whatever loads saves to a file that
// loads to the same thing.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "catalogue/nfile.h"

namespace {

namespace fmt = kumoya::catalogue_format;
using namespace kumoya;

void FillExts(TExtList& list, const std::vector<fmt::StoredExt>& stored) {
    for (const auto& s : stored) {
        auto ext = std::make_unique<TExt>();
        ext->Id = s.Id;
        ext->Name = s.Name;
        ext->MenuFlag = s.MenuFlag;
        ext->SpareArea = s.SpareArea;
        for (auto id : s.ProgIds) ext->AddProg(id);
        list.AppendStored(std::move(ext));
    }
}

void FillHist(THistList& list, const fmt::StoredHistList& stored) {
    list.Limit = stored.Limit;
    for (const auto& s : stored.Entries) {
        auto entry = std::make_unique<THist>();
        entry->ProgId = s.ProgId;
        for (auto it = s.Items.rbegin(); it != s.Items.rend(); ++it) {
            if (s.HasParams == 1)
                entry->AddItemWithParam(list.Limit, it->Text, it->Param);
            else
                entry->AddItem(list.Limit, it->Text);
        }
        list.AppendStored(std::move(entry));
    }
}

// The catalogue as the stored records say, built the slow and obvious way.
std::vector<std::uint8_t> Reference(const fmt::Image& image) {
    TNFile ref("fuzz.dat");
    ref.Head = image.Head;
    for (const auto& p : image.Progs) ref.Progs.AppendStored(std::make_unique<TProg>(p));
    FillExts(ref.Categories, image.Categories);
    FillExts(ref.Extensions, image.Extensions);
    ref.Extensions.Sort();
    FillHist(ref.History, image.History);
    FillHist(ref.ExtParams, image.ExtParams);
    return ref.SaveToBytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fmt::Image image;
    fmt::Fault fault;
    const bool parsed = fmt::Parse(data, size, image, fault);
    TNFile file("fuzz.dat");
    const int loaded = file.LoadFromBytes(data, size);
    if (parsed != (loaded == TNFile::kLoaded)) std::abort();
    if (!parsed) return 0;
    std::vector<std::uint8_t> saved = file.SaveToBytes();
    if (saved != Reference(image)) std::abort();

    TNFile again("fuzz.dat");
    if (again.LoadFromBytes(saved.data(), saved.size()) != TNFile::kLoaded) std::abort();
    if (again.SaveToBytes() != saved) std::abort();

    // The raw layout round-trips exactly once it is in its written form.
    fmt::Image written;
    if (!fmt::Parse(saved.data(), saved.size(), written, fault)) std::abort();
    if (written.TrailingBytes != 0 || fmt::Serialize(written) != saved) std::abort();
    return 0;
}
