#include "platform/lnk_format.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>

namespace kumoya::platform::lnk {
namespace {

using Bytes = std::vector<std::uint8_t>;

// "ソフト": the first character's trail byte is 0x5C, a backslash.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";

Link Sample() {
    Link l;
    l.target = "C:\\Program Files\\" + kSoft + "\\edit.exe";
    l.workingDirectory = "D:\\" + kSoft;
    l.arguments = "-view \"C:\\a b.txt\"";
    l.iconLocation = "C:\\icons\\" + kSoft + ".ico";
    l.iconIndex = -3;
    l.showCommand = 7;
    l.hotKey = 0x0641;
    return l;
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void ExpectSameLink(const Link& want, const Link& got) {
    EXPECT_EQ(want.target, got.target);
    EXPECT_EQ(want.workingDirectory, got.workingDirectory);
    EXPECT_EQ(want.arguments, got.arguments);
    EXPECT_EQ(want.iconLocation, got.iconLocation);
    EXPECT_EQ(want.iconIndex, got.iconIndex);
    EXPECT_EQ(want.showCommand, got.showCommand);
    EXPECT_EQ(want.hotKey, got.hotKey);
}

TEST(LnkFormat, HeaderCarriesClassFlagsShowCommandAndHotKey) {
    auto bytes = Encode(Sample());
    ASSERT_TRUE(bytes);
    ASSERT_GE(bytes->size(), 0x4Cu);
    EXPECT_EQ(0x4Cu, U32(*bytes, 0));
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(0, std::memcmp(bytes->data() + 4, clsid, 16));
    // link info, working folder, arguments, icon location, Unicode strings
    EXPECT_EQ(0x02u | 0x10u | 0x20u | 0x40u | 0x80u, U32(*bytes, 0x14));
    EXPECT_EQ(static_cast<std::uint32_t>(-3), U32(*bytes, 0x38));
    EXPECT_EQ(7u, U32(*bytes, 0x3C));
    EXPECT_EQ(0x41, (*bytes)[0x40]);
    EXPECT_EQ(0x06, (*bytes)[0x41]);
    // The file ends with the empty terminal block.
    EXPECT_EQ(0u, U32(*bytes, bytes->size() - 4));
}

TEST(LnkFormat, RoundTripsLocalAndNetworkTargetsWithDoubleByteNames) {
    Link local = Sample();
    auto decoded = Decode(*Encode(local));
    ASSERT_TRUE(decoded);
    ExpectSameLink(local, *decoded);

    Link unc = Sample();
    unc.target = "\\\\server\\" + kSoft + "\\tools\\x.exe";
    decoded = Decode(*Encode(unc));
    ASSERT_TRUE(decoded);
    ExpectSameLink(unc, *decoded);

    // A share name ending in a double-byte character whose trail byte is '\'.
    unc.target = "\\\\server\\" + kSoft.substr(0, 2) + "\\x.exe";
    decoded = Decode(*Encode(unc));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(unc.target, decoded->target);

    unc.target = "\\\\server\\share/\\\\x";  // a slash is no backslash to the reader
    decoded = Decode(*Encode(unc));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(unc.target, decoded->target);

    Link bare;  // target only; empty strings are left out of the file
    bare.target = "notepad.exe";
    auto bytes = Encode(bare);
    EXPECT_EQ(0x02u | 0x80u, U32(*bytes, 0x14));
    decoded = Decode(*bytes);
    ASSERT_TRUE(decoded);
    ExpectSameLink(bare, *decoded);
}

TEST(LnkFormat, RefusesTextItCannotStore) {
    Link l = Sample();
    l.target = "C:\\\x83";  // a lead byte without its trail byte
    EXPECT_FALSE(Encode(l));
    l = Sample();
    l.arguments.assign(0x10000, 'a');  // more than a 16-bit count holds
    EXPECT_FALSE(Encode(l));
}

TEST(LnkFormat, EveryTruncationIsRejectedWithoutReadingPastTheEnd) {
    Bytes whole = *Encode(Sample());
    // Only the 4-byte terminal block may be missing; any shorter prefix cuts
    // a structure. Each prefix is copied to a buffer of exactly its size so
    // that the address sanitiser sees any over-read.
    for (std::size_t n = 0; n + 4 < whole.size(); ++n) {
        Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(Decode(prefix)) << "prefix of " << n << " bytes";
    }
    EXPECT_FALSE(Decode(nullptr, 0));
}

TEST(LnkFormat, RejectsCorruptedHeaderAndOffsets) {
    const Bytes good = *Encode(Sample());
    auto corrupt = [&](std::size_t at, std::uint32_t value) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return Decode(b);
    };
    EXPECT_FALSE(corrupt(0, 0x4D));          // header size
    EXPECT_FALSE(corrupt(4, 0x12345678));    // class id
    EXPECT_FALSE(corrupt(0x4C, 0xFFFFFFF0)); // link info size beyond the file
    EXPECT_FALSE(corrupt(0x4C, 4));          // link info smaller than its header
    EXPECT_FALSE(corrupt(0x4C + 0x10, 0x7FFFFFFF));  // local path offset out of the block
    EXPECT_FALSE(corrupt(0x4C + 0x1C, 0xFFFFFFFF));  // Unicode path offset out of the block
    // A string count that runs past the end of the file.
    Bytes b = good;
    std::uint32_t infoSize = U32(b, 0x4C);
    b[0x4C + infoSize] = 0xFF;
    b[0x4C + infoSize + 1] = 0xFF;
    EXPECT_FALSE(Decode(b));
    // An unpaired surrogate has no Shift_JIS form: the working folder it
    // stands in is left empty, the rest is read.
    b = good;
    b[0x4C + infoSize + 2] = 0x00;
    b[0x4C + infoSize + 3] = 0xD8;
    auto link = Decode(b);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->workingDirectory, "");
    EXPECT_EQ(link->target, Sample().target);
    EXPECT_EQ(link->arguments, Sample().arguments);
}

// A shortcut as the shell writes it for a file: an item-id list (My Computer,
// drive, folder and file entries whose long names sit in 0xBEEF0004 blocks)
// and link information with only the single-byte path, which a system of
// another code page has spoilt ('?').
Bytes ItemListShortcut(std::uint16_t extensionVersion) {
    Bytes out(0x4C, 0);
    out[0] = 0x4C;
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::memcpy(out.data() + 4, clsid, 16);
    out[0x14] = 0x01 | 0x02 | 0x80;
    out[0x3C] = 1;

    auto u16 = [](Bytes& b, std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    Bytes list;
    auto item = [&](const Bytes& body) {
        u16(list, static_cast<std::uint16_t>(body.size() + 2));
        list.insert(list.end(), body.begin(), body.end());
    };
    item({0x1F, 0x50, 0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30,
          0x9D});
    Bytes drive = {0x2F, 'C', ':', '\\'};
    drive.resize(0x17, 0);
    item(drive);
    auto fileEntry = [&](std::uint8_t type, const std::string& shortName, const std::u16string& longName) {
        Bytes body = {type, 0};
        body.resize(12, 0);  // size, date, attributes
        body.insert(body.end(), shortName.begin(), shortName.end());
        body.push_back(0);
        if (body.size() % 2) body.push_back(0);
        std::uint16_t extensionAt = static_cast<std::uint16_t>(body.size() + 2);
        Bytes ext;
        u16(ext, 0);  // size, patched
        u16(ext, extensionVersion);
        for (std::uint8_t c : {0x04, 0x00, 0xEF, 0xBE}) ext.push_back(c);
        std::size_t nameAt = 0x12 + (extensionVersion >= 7 ? 18 : 0) + 2 + (extensionVersion >= 9 ? 4 : 0) +
                             (extensionVersion >= 8 ? 4 : 0);
        ext.resize(nameAt, 0);
        for (char16_t c : longName) u16(ext, c);
        u16(ext, 0);
        u16(ext, extensionAt);  // the block's own offset, as the shell stores it
        ext[0] = static_cast<std::uint8_t>(ext.size());
        body.insert(body.end(), ext.begin(), ext.end());
        u16(body, extensionAt);
        item(body);
    };
    fileEntry(0x31, "PROGRA~1", u"Program Files");
    fileEntry(0x31, "3F3F~1", u"\u30BD\u30D5\u30C8");  // ソフト
    fileEntry(0x32, "EDIT.EXE", u"edit.exe");
    u16(list, 0);
    u16(out, static_cast<std::uint16_t>(list.size()));
    out.insert(out.end(), list.begin(), list.end());

    std::string ansi = "C:\\Program Files\\???\\edit.exe";
    Bytes info(0x1C, 0);
    info[4] = 0x1C;
    info[8] = 1;
    info[0x0C] = 0x1C;
    Bytes volume = {0x11, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0};
    info.insert(info.end(), volume.begin(), volume.end());
    info[0x10] = static_cast<std::uint8_t>(info.size());
    info.insert(info.end(), ansi.begin(), ansi.end());
    info.push_back(0);
    info[0x18] = static_cast<std::uint8_t>(info.size());
    info.push_back(0);
    info[0] = static_cast<std::uint8_t>(info.size());
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), 4, 0);
    return out;
}

TEST(LnkFormat, TakesTheTargetFromTheItemListsLongNamesBeforeASpoiltSingleBytePath) {
    for (std::uint16_t version : {3, 7, 8, 9}) {
        auto link = Decode(ItemListShortcut(version));
        ASSERT_TRUE(link) << "version " << version;
        EXPECT_EQ("C:\\Program Files\\" + kSoft + "\\edit.exe", link->target) << "version " << version;
        EXPECT_EQ(1, link->showCommand);
    }
}

TEST(LnkFormat, ItemListWithBrokenItemsFallsBackOrFailsWithinBounds) {
    Bytes b = ItemListShortcut(9);
    // Break the file entry's pointer to its extension block: the long name is
    // gone, the short name is used instead.
    Bytes shortOnly = b;
    std::size_t listAt = 0x4E;
    std::size_t at = listAt;
    for (int i = 0; i < 4; ++i) at += shortOnly[at] | (shortOnly[at + 1] << 8);  // the last file entry
    std::size_t itemEnd = at + (shortOnly[at] | (shortOnly[at + 1] << 8));
    shortOnly[itemEnd - 2] = 0xFF;
    shortOnly[itemEnd - 1] = 0x7F;
    auto link = Decode(shortOnly);
    ASSERT_TRUE(link);
    EXPECT_EQ("C:\\Program Files\\" + kSoft + "\\EDIT.EXE", link->target);

    // An item that runs past its list spoils only the list: the link
    // information's path is taken then.
    Bytes overrun = b;
    overrun[listAt + 0x14] = 0xF0;
    overrun[listAt + 0x15] = 0xFF;
    link = Decode(overrun);
    ASSERT_TRUE(link);
    EXPECT_EQ("C:\\Program Files\\???\\edit.exe", link->target);

    // A list that runs past the file is a malformed file.
    Bytes cut = b;
    cut[0x4C] = cut[0x4D] = 0xFF;
    EXPECT_FALSE(Decode(cut));
}

}  // namespace
}  // namespace kumoya::platform::lnk

namespace kumoya::platform::lnk {
namespace {

// Older systems write the strings in their code page instead of Unicode.
TEST(LnkFormat, ReadsSingleByteStrings) {
    Bytes b(0x4C, 0);
    b[0] = 0x4C;
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::memcpy(b.data() + 4, clsid, 16);
    b[0x14] = 0x04 | 0x10 | 0x20;  // name (skipped), working folder, arguments; not Unicode
    b[0x3C] = 3;
    auto counted = [&](const std::string& s) {
        b.push_back(static_cast<std::uint8_t>(s.size()));
        b.push_back(0);
        b.insert(b.end(), s.begin(), s.end());
    };
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";
    counted("a description");
    counted("C:\\" + soft);
    counted("/x " + soft);
    b.insert(b.end(), 4, 0);
    auto link = Decode(b);
    ASSERT_TRUE(link);
    EXPECT_EQ("", link->target);
    EXPECT_EQ("C:\\" + soft, link->workingDirectory);
    EXPECT_EQ("/x " + soft, link->arguments);
    EXPECT_EQ(3, link->showCommand);

    b[0x4C + 2 + 13 + 2 + 3] = 0x83;  // a lead byte left without its trail byte
    b[0x4C + 2 + 13 + 2 + 4] = 0x00;
    link = Decode(b);
    ASSERT_TRUE(link) << "a broken working folder is left empty, not the whole link refused";
    EXPECT_EQ("", link->workingDirectory);
    EXPECT_EQ("/x " + soft, link->arguments);
}

}  // namespace
}  // namespace kumoya::platform::lnk

namespace kumoya::platform::lnk {
namespace {

TEST(LnkFormat, ATargetWithoutAShiftJisFormRefusesTheLinkOtherTextsAreLeftEmpty) {
    Link l = Sample();
    l.target = "C:\\QQ.exe";
    l.workingDirectory = "C:\\work";
    Bytes bytes = *Encode(l);
    // The Unicode copy of the target: "QQ" becomes two Hangul syllables.
    const std::uint8_t qq[] = {'Q', 0, 'Q', 0}, hangul[] = {0x5C, 0xD5, 0x5C, 0xD5};
    auto at = std::search(bytes.begin(), bytes.end(), qq, qq + 4);
    ASSERT_NE(at, bytes.end());
    std::copy(hangul, hangul + 4, at);
    EXPECT_FALSE(Decode(bytes));

    l.target = "C:\\tool.exe";
    l.workingDirectory = "C:\\QQ";
    bytes = *Encode(l);
    at = std::search(bytes.begin(), bytes.end(), qq, qq + 4);
    ASSERT_NE(at, bytes.end());
    std::copy(hangul, hangul + 4, at);
    auto got = Decode(bytes);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->target, "C:\\tool.exe");
    EXPECT_EQ(got->workingDirectory, "");
    EXPECT_EQ(got->arguments, l.arguments) << "the others stay";
    EXPECT_EQ(got->iconLocation, l.iconLocation);
    EXPECT_EQ(got->iconIndex, l.iconIndex);
}

}  // namespace
}  // namespace kumoya::platform::lnk
