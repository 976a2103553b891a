// An advertisement: the record in "NNN\zelkova.cm" (its name, up to three
// link addresses, how long it stays after playing, and the click and
// display-time statistics we keep in it) and the clip that follows the
// record in the same file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kumoya {

// Layout of the 2104-byte record: little-endian, 8-byte values on multiples
// of 8. The clip follows it directly.
namespace cmfile {
inline constexpr std::size_t kRecordSize = 2104;
inline constexpr std::size_t kNameWidth = 256;
inline constexpr std::size_t kUrlWidth = 512;
inline constexpr std::size_t kCarriedBlockWidth = 256;

inline constexpr std::size_t kAdNameAt = 0;           // 256 bytes
inline constexpr std::size_t kClickCountAt = 256;     // int32, 4 bytes padding after
inline constexpr std::size_t kDisplayMsAt = 264;      // double
inline constexpr std::size_t kLinkCountAt = 272;      // int32
inline constexpr std::size_t kLinkUrl1At = 276;       // 512 bytes
inline constexpr std::size_t kLinkUrl2At = 788;       // 512 bytes
inline constexpr std::size_t kLinkUrl3At = 1300;      // 512 bytes, 4 bytes padding after
inline constexpr std::size_t kPauseSecondsAt = 1816;  // double
inline constexpr std::size_t kCarriedValueAt = 1824;  // double, carried
inline constexpr std::size_t kCarriedInt1At = 1832;   // int32, carried
inline constexpr std::size_t kCarriedInt2At = 1836;   // int32, carried
inline constexpr std::size_t kCarriedBlockAt = 1840;  // 256 bytes, carried
inline constexpr std::size_t kClipSizeAt = 2096;      // int32, 4 bytes padding after

// Clips are copied through one buffer of this size, never held whole.
inline constexpr std::size_t kCopyBlock = 65536;
}  // namespace cmfile

class TCMData {
public:
    static constexpr int kLoaded = 0;
    static constexpr int kMissing = -1;
    // The file is there but shorter than its record or its clip size says,
    // or the clip size is negative: an advertisement to be thrown away.
    static constexpr int kFaulty = 1;

    std::string AdName;
    std::int32_t ClickCount = 0;
    double DisplayMs = 0;
    std::int32_t LinkCount = 0;  // as stored; see Links()
    std::string LinkUrl1, LinkUrl2, LinkUrl3;
    double PauseSeconds = 0;
    std::array<std::uint8_t, 8> CarriedValue{};
    std::int32_t CarriedInt1 = 0;
    std::int32_t CarriedInt2 = 0;
    std::array<std::uint8_t, cmfile::kCarriedBlockWidth> CarriedBlock{};
    std::int32_t ClipSize = 0;
    std::string ClipPath;  // the unpacked clip; "" until LoadWithClip

    // Reads the record only. 0, -1 when the file does not exist, 1 when it is
    // shorter than a record (nothing changes then either).
    int LoadRecord(std::string_view path);
    // Reads the record and unpacks the clip to "CM.AVI" in the program's
    // folder (or to `clipPath`), setting ClipPath. 0, -1 when the file does
    // not exist, 1 when it is faulty or the clip could not be written (the
    // record stays as it was and no clip is left behind).
    int LoadWithClip(std::string_view path);
    int LoadWithClip(std::string_view path, std::string_view clipPath);
    // Writes the record and the unpacked clip back as the advertisement file
    // and deletes the unpacked clip. Does nothing (0) when the path is empty
    // or there is no unpacked clip. The file is written beside the old one
    // and then put in its place, so that a failure keeps the old file with
    // its clip and statistics; -1 then.
    int SaveWithClip(std::string_view path);

    // The number of link addresses to offer: LinkCount within 0-3.
    int Links() const;
    // Link 1-3, "" for any other number.
    const std::string& Link(int number) const;

    // The record's bytes (the padding as last read).
    std::array<std::uint8_t, cmfile::kRecordSize> RecordBytes() const;
    // 0, or 1 for fewer bytes than a record; ClipSize is taken as stored.
    int ReadRecordBytes(const std::uint8_t* data, std::size_t size);

private:
    std::array<std::uint8_t, cmfile::kRecordSize> image_{};
};

// Whether an advertisement's link may be handed to the shell: only web
// addresses ("http://" or "https://" followed by something), never a file,
// a program or another scheme.
bool MayOpenAdvertisementLink(std::string_view address);

}  // namespace kumoya
