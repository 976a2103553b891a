// The advertisement file reader on arbitrary bytes: the record from memory,
// and the whole file (record and clip) from disk. Besides the sanitizers,
// checks that texts stay inside their fields, that writing a record and
// reading it back gives the same values, and that a clip is unpacked only
// when the file holds all of it, and then exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "online/cmdata.h"
#include "platform/files.h"

namespace {

using kumoya::TCMData;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A folder of this run's own, made for each input and removed after it.
const std::string& Folder() {
    static const std::string folder =
        kumoya::platform::TempFolder() + "cmdata-fuzz-" + std::to_string(std::random_device{}()) + "\\";
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TCMData record;
    int read = record.ReadRecordBytes(data, size);
    Check(read == (size < 2104 ? TCMData::kFaulty : TCMData::kLoaded));
    if (read == TCMData::kLoaded) {
        Check(record.AdName.size() < 256);
        Check(record.LinkUrl1.size() < 512 && record.LinkUrl2.size() < 512 && record.LinkUrl3.size() < 512);
        Check(record.Links() >= 0 && record.Links() <= 3);
        auto bytes = record.RecordBytes();
        TCMData again;
        Check(again.ReadRecordBytes(bytes.data(), bytes.size()) == TCMData::kLoaded);
        Check(again.AdName == record.AdName && again.LinkUrl1 == record.LinkUrl1 &&
              again.LinkUrl2 == record.LinkUrl2 && again.LinkUrl3 == record.LinkUrl3);
        Check(again.ClickCount == record.ClickCount && again.LinkCount == record.LinkCount &&
              again.ClipSize == record.ClipSize && again.CarriedInt1 == record.CarriedInt1 &&
              again.CarriedInt2 == record.CarriedInt2 && again.CarriedBlock == record.CarriedBlock &&
              again.CarriedValue == record.CarriedValue);
        Check(SameBits(again.DisplayMs, record.DisplayMs) && SameBits(again.PauseSeconds, record.PauseSeconds));
        Check(again.RecordBytes() == bytes);
    }

    // The same bytes as a file on disk.
    const std::string dir = Folder().substr(0, Folder().size() - 1);
    const std::string file = Folder() + "zelkova.cm";
    const std::string clip = Folder() + "CM.AVI";
    Check(kumoya::platform::CreateDirectories(dir));
    Check(kumoya::platform::WriteFileBytes(file, std::vector<std::uint8_t>(data, data + size)));
    TCMData loaded;
    int result = loaded.LoadWithClip(file, clip);
    if (result == TCMData::kLoaded) {
        Check(loaded.ClipSize >= 0 && 2104 + static_cast<std::size_t>(loaded.ClipSize) <= size);
        auto unpacked = kumoya::platform::ReadFileBytes(clip);
        Check(unpacked && unpacked->size() == static_cast<std::size_t>(loaded.ClipSize));
        Check(std::memcmp(unpacked->data(), data + 2104, unpacked->size()) == 0);
        Check(loaded.SaveWithClip(file) == 0);
        auto back = kumoya::platform::ReadFileBytes(file);
        Check(back && back->size() == 2104 + static_cast<std::size_t>(loaded.ClipSize));
        Check(!kumoya::platform::FileExists(clip));
    } else {
        Check(result == TCMData::kFaulty);
        Check(!kumoya::platform::FileExists(clip));
        Check(loaded.ClipPath.empty());
    }
    kumoya::platform::DeleteFileAt(file);
    kumoya::platform::DeleteFileAt(clip);
    Check(kumoya::platform::RemoveEmptyDirectory(dir));
    return 0;
}
