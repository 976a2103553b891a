#include "platform/text.h"

#include <gtest/gtest.h>

using namespace kumoya::sjis;

namespace {
// ソ (0x83 0x5C), 表 (0x95 0x5C), 能 (0x94 0x5C): the trail byte is a backslash.
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";
const std::string kNou = "\x94\x5C";
}  // namespace

TEST(SjisPath, TrailByteBackslashIsNotASeparator) {
    std::string path = "C:\\" + kSo + "\\" + kHyo + ".txt";
    EXPECT_EQ(FileName(path), kHyo + ".txt");
    EXPECT_EQ(Parent(path), "C:\\" + kSo);
    EXPECT_EQ(Extension(path), ".txt");
    EXPECT_EQ(FolderWithSeparator(path), "C:\\" + kSo + "\\");

    // A name that ends in such a character has no separator at its end.
    std::string folder = "C:\\" + kNou;
    EXPECT_EQ(FileName(folder), kNou);
    EXPECT_EQ(Parent(folder), "C:\\");
    EXPECT_EQ(LastSeparator(kSo + kHyo), std::string::npos);
}

TEST(SjisPath, ExtensionOnlyFromTheLastComponent) {
    EXPECT_EQ(Extension("C:\\a.dir\\readme"), "");
    EXPECT_EQ(Extension("C:\\a\\b.tar.gz"), ".gz");
    EXPECT_EQ(Extension("noext"), "");
    EXPECT_EQ(Extension("C:a.txt"), ".txt");
    EXPECT_EQ(FileName("C:a.txt"), "a.txt");
}

TEST(SjisPath, ParentKeepsDriveRootBackslash) {
    EXPECT_EQ(Parent("C:\\a"), "C:\\");
    EXPECT_EQ(Parent("C:\\a\\b"), "C:\\a");
    EXPECT_EQ(Parent("C:\\"), "C:\\");
    EXPECT_EQ(Parent("C:"), "C:");
    EXPECT_EQ(Parent("file"), "");
}

TEST(SjisCase, FoldsAsciiOnlyOutsideDoubleByteCharacters) {
    // 0x82 0x61 is a double-byte character whose trail byte is 'a'.
    std::string mixed = "ab\x82\x61z";
    EXPECT_EQ(UpperAscii(mixed), "AB\x82\x61Z");
    EXPECT_TRUE(EqualsIgnoreCase("c:\\tools\\EDIT.exe", "C:\\Tools\\edit.EXE"));
    EXPECT_FALSE(EqualsIgnoreCase("\x82\x61", "\x82\x41"));
    EXPECT_LT(CompareIgnoreCase("BMP", "doc"), 0);
    EXPECT_GT(CompareIgnoreCase("txt", "DOC"), 0);
    EXPECT_LT(CompareIgnoreCase("AB", "abc"), 0);
}

TEST(SjisCut, NeverSplitsADoubleByteCharacter) {
    std::string text = "ab" + kSo + kHyo;  // 6 bytes
    EXPECT_EQ(CutToBytes(text, 6), text);
    EXPECT_EQ(CutToBytes(text, 5), "ab" + kSo);
    EXPECT_EQ(CutToBytes(text, 3), "ab");
    EXPECT_EQ(CutToBytes(text, 0), "");
}
