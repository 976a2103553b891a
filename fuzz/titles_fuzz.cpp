// The title file reader on arbitrary bytes: loaded as a first file, and merged
// into a small database that shares keys with the seeds. Besides the
// sanitizers, checks that the key index gives the answers of a plain
// first-match scan and that a merge never moves or loses an entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "../tests/online/title_file_writer.h"
#include "online/titles.h"

namespace {

using kumoya::TFAllTitle;

void Check(bool ok) {
    if (!ok) std::abort();
}

// Every key must lead to its first entry in list order.
void CheckIndex(const TFAllTitle& db) {
    const kumoya::TFTitleList& list = db.Titles();
    std::unordered_map<std::string, int> first;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& key = list.At(i)->Key;
        int expected = first.emplace(key, i).first->second;
        Check(list.IndexOfKey(key) == expected);
        // Texts stay inside their fields.
        Check(list.At(i)->Title.size() < 40 && key.size() < 40 && list.At(i)->Category.size() < 40);
        for (const std::string& ext : list.At(i)->ExtNames) Check(ext.size() < 16);
    }
    Check(list.At(-1) == nullptr && list.At(list.Count()) == nullptr);
}

const std::vector<std::uint8_t>& Base() {
    static const std::vector<std::uint8_t> bytes = [] {
        kumoya::testsupport::TitleFileWriter w(4);
        const std::string names[] = {"A.EXE", "edit.exe", "A.exe", std::string("\x83\x5C") + "ft.exe"};
        for (int i = 0; i < 4; ++i) {
            kumoya::testsupport::TitleRecord r;
            r.entryNo = i;
            r.fileName = names[i];
            r.title = "T" + std::to_string(i);
            r.exts = {"TXT", "doc"};
            w.Add(r);
        }
        return w.Bytes();
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);

    TFAllTitle first;
    int loaded = first.LoadFirstBytes(bytes);
    Check(loaded == 0 || first.Count() == 0);
    CheckIndex(first);
    // At most as many entries as the bytes can hold.
    Check(static_cast<std::size_t>(first.Count()) <= size / 1408);

    TFAllTitle merged;
    Check(merged.LoadFirstBytes(Base()) == 0);
    std::vector<std::string> before;
    for (int i = 0; i < merged.Count(); ++i) before.push_back(merged.TitleAt(i)->Key);
    std::vector<std::size_t> extsBefore;
    for (int i = 0; i < merged.Count(); ++i) extsBefore.push_back(merged.TitleAt(i)->ExtNames.size());
    merged.MergeBytes(bytes);
    Check(merged.Count() >= static_cast<int>(before.size()));
    for (std::size_t i = 0; i < before.size(); ++i) {
        Check(merged.TitleAt(static_cast<int>(i))->Key == before[i]);
        Check(merged.TitleAt(static_cast<int>(i))->ExtNames.size() >= extsBefore[i]);
    }
    CheckIndex(merged);

    // The same bytes as a program name.
    std::string name(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
    std::string key = kumoya::NormaliseTitleKey(name);
    Check(key.size() <= name.size());
    Check(merged.IndexOfTitle(name) == merged.Titles().IndexOfKey(key));
    return 0;
}
