#include "online/cmdata.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "online/record_bytes.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kumoya {

namespace rb = recordbytes;
namespace cf = cmfile;

namespace {

// Copies `size` bytes from one open file to the other through `buffer`:
// size / 65536 full blocks, then the rest. False when the source ends early
// or a write fails.
bool CopyBlocks(platform::BlockFile& from, platform::BlockFile& to, std::int64_t size,
                std::vector<std::uint8_t>& buffer) {
    const auto block = static_cast<std::int64_t>(buffer.size());
    std::int64_t full = size / block;
    std::size_t rest = static_cast<std::size_t>(size % block);
    for (std::int64_t i = 0; i < full; ++i) {
        if (from.Read(buffer.data(), buffer.size()) != block) return false;
        if (!to.Write(buffer.data(), buffer.size())) return false;
    }
    if (rest == 0) return true;
    if (from.Read(buffer.data(), rest) != static_cast<std::int64_t>(rest)) return false;
    return to.Write(buffer.data(), rest);
}

}  // namespace

int TCMData::ReadRecordBytes(const std::uint8_t* data, std::size_t size) {
    if (size < cf::kRecordSize) return kFaulty;
    std::copy(data, data + cf::kRecordSize, image_.begin());
    AdName = rb::GetText(image_, cf::kAdNameAt, cf::kNameWidth);
    ClickCount = rb::GetInt32(image_, cf::kClickCountAt);
    DisplayMs = rb::GetDouble(image_, cf::kDisplayMsAt);
    LinkCount = rb::GetInt32(image_, cf::kLinkCountAt);
    LinkUrl1 = rb::GetText(image_, cf::kLinkUrl1At, cf::kUrlWidth);
    LinkUrl2 = rb::GetText(image_, cf::kLinkUrl2At, cf::kUrlWidth);
    LinkUrl3 = rb::GetText(image_, cf::kLinkUrl3At, cf::kUrlWidth);
    PauseSeconds = rb::GetDouble(image_, cf::kPauseSecondsAt);
    CarriedValue = rb::GetBlock<8>(image_, cf::kCarriedValueAt);
    CarriedInt1 = rb::GetInt32(image_, cf::kCarriedInt1At);
    CarriedInt2 = rb::GetInt32(image_, cf::kCarriedInt2At);
    CarriedBlock = rb::GetBlock<cf::kCarriedBlockWidth>(image_, cf::kCarriedBlockAt);
    ClipSize = rb::GetInt32(image_, cf::kClipSizeAt);
    return kLoaded;
}

std::array<std::uint8_t, cf::kRecordSize> TCMData::RecordBytes() const {
    std::array<std::uint8_t, cf::kRecordSize> out = image_;
    rb::PutText(out, cf::kAdNameAt, cf::kNameWidth, AdName);
    rb::PutInt32(out, cf::kClickCountAt, ClickCount);
    rb::PutDouble(out, cf::kDisplayMsAt, DisplayMs);
    rb::PutInt32(out, cf::kLinkCountAt, LinkCount);
    rb::PutText(out, cf::kLinkUrl1At, cf::kUrlWidth, LinkUrl1);
    rb::PutText(out, cf::kLinkUrl2At, cf::kUrlWidth, LinkUrl2);
    rb::PutText(out, cf::kLinkUrl3At, cf::kUrlWidth, LinkUrl3);
    rb::PutDouble(out, cf::kPauseSecondsAt, PauseSeconds);
    rb::PutBlock(out, cf::kCarriedValueAt, CarriedValue);
    rb::PutInt32(out, cf::kCarriedInt1At, CarriedInt1);
    rb::PutInt32(out, cf::kCarriedInt2At, CarriedInt2);
    rb::PutBlock(out, cf::kCarriedBlockAt, CarriedBlock);
    rb::PutInt32(out, cf::kClipSizeAt, ClipSize);
    return out;
}

int TCMData::LoadRecord(std::string_view path) {
    platform::BlockFile file;
    if (!file.Open(path, platform::BlockFile::Mode::Read)) return platform::FileExists(path) ? kFaulty : kMissing;
    std::array<std::uint8_t, cf::kRecordSize> record{};
    std::int64_t got = file.Read(record.data(), record.size());
    if (got != static_cast<std::int64_t>(record.size())) return kFaulty;
    return ReadRecordBytes(record.data(), record.size());
}

int TCMData::LoadWithClip(std::string_view path) {
    return LoadWithClip(path, platform::ProgramFolder() + "CM.AVI");
}

int TCMData::LoadWithClip(std::string_view path, std::string_view clipPath) {
    platform::BlockFile file;
    if (!file.Open(path, platform::BlockFile::Mode::Read)) return platform::FileExists(path) ? kFaulty : kMissing;
    std::array<std::uint8_t, cf::kRecordSize> record{};
    if (file.Read(record.data(), record.size()) != static_cast<std::int64_t>(record.size())) return kFaulty;
    TCMData loaded;
    loaded.ReadRecordBytes(record.data(), record.size());
    // The clip must be all there before anything is unpacked.
    if (loaded.ClipSize < 0 || file.Size() < static_cast<std::int64_t>(cf::kRecordSize) + loaded.ClipSize) {
        return kFaulty;
    }
    platform::BlockFile clip;
    std::vector<std::uint8_t> buffer(cf::kCopyBlock);
    if (!clip.Open(clipPath, platform::BlockFile::Mode::Create) || !CopyBlocks(file, clip, loaded.ClipSize, buffer) ||
        !clip.Close()) {
        clip.Close();
        platform::DeleteFileAt(clipPath);
        return kFaulty;
    }
    loaded.ClipPath = clipPath;
    *this = std::move(loaded);
    return kLoaded;
}

int TCMData::SaveWithClip(std::string_view path) {
    if (path.empty() || ClipPath.empty() || !platform::FileExists(ClipPath)) return 0;
    platform::BlockFile clip;
    if (!clip.Open(ClipPath, platform::BlockFile::Mode::Read)) return -1;
    std::int64_t size = clip.Size();
    if (size < 0 || size > std::numeric_limits<std::int32_t>::max()) return -1;

    // Written beside the advertisement file and then put in its place: a
    // crash or a full disk half-way keeps the old file, clip and all.
    const std::string temp = std::string(path) + ".new";
    platform::BlockFile out;
    if (!out.Open(temp, platform::BlockFile::Mode::Create)) return -1;
    ClipSize = static_cast<std::int32_t>(size);
    std::array<std::uint8_t, cf::kRecordSize> record = RecordBytes();
    std::vector<std::uint8_t> buffer(cf::kCopyBlock);
    bool ok = out.Write(record.data(), record.size()) && CopyBlocks(clip, out, size, buffer) && out.Flush();
    ok = out.Close() && ok;
    clip.Close();
    if (!ok || !platform::ReplaceFileWith(path, temp)) {
        platform::DeleteFileAt(temp);
        return -1;
    }
    image_ = record;
    platform::DeleteFileAt(ClipPath);  // a clip still in use stays; that is harmless
    return 0;
}

int TCMData::Links() const { return std::clamp(LinkCount, 0, 3); }

const std::string& TCMData::Link(int number) const {
    static const std::string none;
    switch (number) {
        case 1: return LinkUrl1;
        case 2: return LinkUrl2;
        case 3: return LinkUrl3;
        default: return none;
    }
}

bool MayOpenAdvertisementLink(std::string_view address) {
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (address.size() > scheme.size() && sjis::EqualsIgnoreCase(address.substr(0, scheme.size()), scheme)) {
            // A control character or blank would let the shell read the
            // address as something else.
            return std::none_of(address.begin(), address.end(),
                                [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; });
        }
    }
    return false;
}

}  // namespace kumoya
