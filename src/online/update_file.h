// The version record: which versions of the title database, the
// advertisements and the program the update site publishes, and when to ask
// it again. "zelkova.net" beside the program is the copy this installation
// has; "update.net" is the one just downloaded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kumoya {

// Layout of the 1648-byte record: little-endian, 8-byte values on multiples
// of 8, which puts the padding where it is.
namespace updatefile {
inline constexpr std::size_t kRecordSize = 1648;
inline constexpr std::size_t kUrlWidth = 512;

inline constexpr std::size_t kLastCheckAt = 0;        // double (date-time)
inline constexpr std::size_t kRecordVersionAt = 8;    // int32, 4 bytes padding after
inline constexpr std::size_t kNextCheckAt = 16;       // double (date-time), 0 = LastCheck + 30 days
inline constexpr std::size_t kCarried24At = 24;       // 8 bytes, carried
inline constexpr std::size_t kTitleVersionAt = 32;    // int32, 4 bytes padding after
inline constexpr std::size_t kCarried40At = 40;       // 8 bytes, carried
inline constexpr std::size_t kTitleFileCountAt = 48;  // int32
inline constexpr std::size_t kTitleBaseUrlAt = 52;    // 512 bytes, 4 bytes padding after
inline constexpr std::size_t kCarried568At = 568;     // 8 bytes, carried
inline constexpr std::size_t kCMVersionAt = 576;      // int32, 4 bytes padding after
inline constexpr std::size_t kCarried584At = 584;     // 8 bytes, carried
inline constexpr std::size_t kCMLastNumberAt = 592;   // int32
inline constexpr std::size_t kCMBaseUrlAt = 596;      // 512 bytes, 4 bytes padding after
inline constexpr std::size_t kCarried1112At = 1112;   // 8 bytes, carried
inline constexpr std::size_t kProgramVersionAt = 1120;  // int32, 4 bytes padding after
inline constexpr std::size_t kCarried1128At = 1128;   // 8 bytes, carried
inline constexpr std::size_t kUpdaterUrlAt = 1136;    // 512 bytes, to the end
}  // namespace updatefile

class TUpdateFile {
public:
    using Carried = std::array<std::uint8_t, 8>;

    double LastCheck = 0;
    std::int32_t RecordVersion = 0;
    double NextCheck = 0;
    Carried Carried24{};
    std::int32_t TitleVersion = 0;
    Carried Carried40{};
    std::int32_t TitleFileCount = 0;
    std::string TitleBaseUrl;
    Carried Carried568{};
    std::int32_t CMVersion = 0;
    Carried Carried584{};
    std::int32_t CMLastNumber = 0;
    std::string CMBaseUrl;
    Carried Carried1112{};
    std::int32_t ProgramVersion = 0;
    Carried Carried1128{};
    std::string UpdaterUrl;

    // 0, or -1 when the file does not exist, cannot be read or is not one
    // whole record (shorter or longer than 1648 bytes); the fields then stay
    // as they were.
    int LoadFromFile(std::string_view path);
    // Writes the record; the old file is replaced in one step, so a failure
    // leaves it as it was. 0, or -1 when it could not be written.
    int SaveToFile(std::string_view path) const;

    // The same on the record's bytes.
    int LoadFromBytes(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> SaveToBytes() const;

private:
    // The bytes last read, so that the padding goes back out as it came in.
    std::array<std::uint8_t, updatefile::kRecordSize> image_{};
};

}  // namespace kumoya
