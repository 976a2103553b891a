#include "online/update_file.h"

#include <algorithm>

#include "online/record_bytes.h"
#include "platform/files.h"

namespace kumoya {

namespace rb = recordbytes;
namespace uf = updatefile;

int TUpdateFile::LoadFromBytes(const std::vector<std::uint8_t>& bytes) {
    // Anything but one whole record is not a record: comparing versions
    // read from a cut or padded file would compare garbage.
    if (bytes.size() != uf::kRecordSize) return -1;
    std::copy(bytes.begin(), bytes.end(), image_.begin());
    LastCheck = rb::GetDouble(image_, uf::kLastCheckAt);
    RecordVersion = rb::GetInt32(image_, uf::kRecordVersionAt);
    NextCheck = rb::GetDouble(image_, uf::kNextCheckAt);
    Carried24 = rb::GetBlock<8>(image_, uf::kCarried24At);
    TitleVersion = rb::GetInt32(image_, uf::kTitleVersionAt);
    Carried40 = rb::GetBlock<8>(image_, uf::kCarried40At);
    TitleFileCount = rb::GetInt32(image_, uf::kTitleFileCountAt);
    TitleBaseUrl = rb::GetText(image_, uf::kTitleBaseUrlAt, uf::kUrlWidth);
    Carried568 = rb::GetBlock<8>(image_, uf::kCarried568At);
    CMVersion = rb::GetInt32(image_, uf::kCMVersionAt);
    Carried584 = rb::GetBlock<8>(image_, uf::kCarried584At);
    CMLastNumber = rb::GetInt32(image_, uf::kCMLastNumberAt);
    CMBaseUrl = rb::GetText(image_, uf::kCMBaseUrlAt, uf::kUrlWidth);
    Carried1112 = rb::GetBlock<8>(image_, uf::kCarried1112At);
    ProgramVersion = rb::GetInt32(image_, uf::kProgramVersionAt);
    Carried1128 = rb::GetBlock<8>(image_, uf::kCarried1128At);
    UpdaterUrl = rb::GetText(image_, uf::kUpdaterUrlAt, uf::kUrlWidth);
    return 0;
}

std::vector<std::uint8_t> TUpdateFile::SaveToBytes() const {
    std::array<std::uint8_t, uf::kRecordSize> out = image_;
    rb::PutDouble(out, uf::kLastCheckAt, LastCheck);
    rb::PutInt32(out, uf::kRecordVersionAt, RecordVersion);
    rb::PutDouble(out, uf::kNextCheckAt, NextCheck);
    rb::PutBlock(out, uf::kCarried24At, Carried24);
    rb::PutInt32(out, uf::kTitleVersionAt, TitleVersion);
    rb::PutBlock(out, uf::kCarried40At, Carried40);
    rb::PutInt32(out, uf::kTitleFileCountAt, TitleFileCount);
    rb::PutText(out, uf::kTitleBaseUrlAt, uf::kUrlWidth, TitleBaseUrl);
    rb::PutBlock(out, uf::kCarried568At, Carried568);
    rb::PutInt32(out, uf::kCMVersionAt, CMVersion);
    rb::PutBlock(out, uf::kCarried584At, Carried584);
    rb::PutInt32(out, uf::kCMLastNumberAt, CMLastNumber);
    rb::PutText(out, uf::kCMBaseUrlAt, uf::kUrlWidth, CMBaseUrl);
    rb::PutBlock(out, uf::kCarried1112At, Carried1112);
    rb::PutInt32(out, uf::kProgramVersionAt, ProgramVersion);
    rb::PutBlock(out, uf::kCarried1128At, Carried1128);
    rb::PutText(out, uf::kUpdaterUrlAt, uf::kUrlWidth, UpdaterUrl);
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

int TUpdateFile::LoadFromFile(std::string_view path) {
    // A record is 1648 bytes; a larger file is refused before it is read.
    platform::BlockFile file;
    if (!file.Open(path, platform::BlockFile::Mode::Read)) return -1;
    std::int64_t size = file.Size();
    if (size != static_cast<std::int64_t>(uf::kRecordSize)) return -1;
    std::vector<std::uint8_t> bytes(uf::kRecordSize + 1);
    std::int64_t got = file.Read(bytes.data(), bytes.size());
    if (got != static_cast<std::int64_t>(uf::kRecordSize)) return -1;  // changed meanwhile
    bytes.resize(uf::kRecordSize);
    return LoadFromBytes(bytes);
}

int TUpdateFile::SaveToFile(std::string_view path) const {
    return platform::ReplaceFileAtomically(path, SaveToBytes()) ? 0 : -1;
}

}  // namespace kumoya
