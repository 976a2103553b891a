// The version record against its byte layout.
#include "online/update_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "support/online_records.h"
#include "support/scratch_folder.h"

using kumoya::TUpdateFile;
using kumoya::testsupport::VersionRecord;

TEST(VersionRecord, FieldsAreReadFromTheirOffsetsAndWrittenBackByteForByte) {
    VersionRecord r;
    r.lastCheck = 45123.75;
    r.recordVersion = -3;
    r.nextCheck = 45200.5;
    r.titleVersion = 0x01020304;
    r.titleFileCount = 12;
    r.titleBaseUrl = "http://site.test/ttl/\x83\x5C/";  // ソ ends in a backslash byte
    r.cmVersion = 77;
    r.cmLastNumber = 4;
    r.cmBaseUrl = "http://site.test/cm/";
    r.programVersion = 2;
    r.updaterUrl = "http://site.test/zkvup.exe";
    r.carriedFill = 0xC0;
    std::vector<std::uint8_t> bytes = r.Bytes();

    TUpdateFile f;
    ASSERT_EQ(f.LoadFromBytes(bytes), 0);
    EXPECT_EQ(f.LastCheck, 45123.75);
    EXPECT_EQ(f.RecordVersion, -3);
    EXPECT_EQ(f.NextCheck, 45200.5);
    EXPECT_EQ(f.TitleVersion, 0x01020304);
    EXPECT_EQ(f.TitleFileCount, 12);
    EXPECT_EQ(f.TitleBaseUrl, r.titleBaseUrl);
    EXPECT_EQ(f.CMVersion, 77);
    EXPECT_EQ(f.CMLastNumber, 4);
    EXPECT_EQ(f.CMBaseUrl, r.cmBaseUrl);
    EXPECT_EQ(f.ProgramVersion, 2);
    EXPECT_EQ(f.UpdaterUrl, r.updaterUrl);
    EXPECT_EQ(f.Carried584, (TUpdateFile::Carried{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}));
    // Carried values and padding go back out as they came in.
    EXPECT_EQ(f.SaveToBytes(), bytes);

    // Changed fields land at their offsets, nothing else moves.
    f.LastCheck = 1.5;
    f.CMLastNumber = -1;
    r.lastCheck = 1.5;
    r.cmLastNumber = -1;
    EXPECT_EQ(f.SaveToBytes(), r.Bytes());

    // A fresh record is all zeros but for what is set.
    TUpdateFile fresh;
    fresh.RecordVersion = 1;
    std::vector<std::uint8_t> expected(1648, 0);
    expected[8] = 1;
    EXPECT_EQ(fresh.SaveToBytes(), expected);
}

TEST(VersionRecord, TextsStayInsideTheirFields) {
    TUpdateFile f;
    f.TitleBaseUrl = std::string(600, 'a');
    f.CMBaseUrl = std::string(510, 'b') + "\x83\x5C";  // a double-byte character across the limit
    std::vector<std::uint8_t> bytes = f.SaveToBytes();
    ASSERT_EQ(bytes.size(), 1648u);
    EXPECT_EQ(bytes[52 + 510], 'a');
    EXPECT_EQ(bytes[52 + 511], 0);
    EXPECT_EQ(bytes[564], 0);  // the padding after it untouched
    EXPECT_EQ(bytes[596 + 509], 'b');
    EXPECT_EQ(bytes[596 + 510], 0);  // cut before the character, not inside it

    // Fields without their zero byte read back within the field.
    VersionRecord r;
    r.titleBaseUrl = std::string(512, 'x');
    r.cmBaseUrl = "after";
    TUpdateFile g;
    ASSERT_EQ(g.LoadFromBytes(r.Bytes()), 0);
    EXPECT_EQ(g.TitleBaseUrl, std::string(511, 'x'));
    EXPECT_EQ(g.CMBaseUrl, "after");
}

TEST(VersionRecord, FilesThatAreNotOneWholeRecordAreRefused) {
    kumoya::testsupport::ScratchFolder dir;
    VersionRecord good;
    good.recordVersion = 5;
    ASSERT_TRUE(kumoya::platform::WriteFileBytes(dir / "good.net", good.Bytes()));
    TUpdateFile f;
    ASSERT_EQ(f.LoadFromFile(dir / "good.net"), 0);
    EXPECT_EQ(f.RecordVersion, 5);

    for (std::size_t size : {std::size_t{0}, std::size_t{8}, std::size_t{1647}, std::size_t{1649}, std::size_t{100000}}) {
        VersionRecord other;
        other.recordVersion = 9;
        std::vector<std::uint8_t> bytes = other.Bytes();
        bytes.resize(size, 0);
        ASSERT_TRUE(kumoya::platform::WriteFileBytes(dir / "bad.net", bytes));
        EXPECT_EQ(f.LoadFromFile(dir / "bad.net"), -1) << size;
        EXPECT_EQ(f.RecordVersion, 5) << size;
    }
    EXPECT_EQ(f.LoadFromFile(dir / "missing.net"), -1);

    // Saving replaces the file as a whole.
    f.RecordVersion = 6;
    ASSERT_EQ(f.SaveToFile(dir / "bad.net"), 0);
    TUpdateFile back;
    ASSERT_EQ(back.LoadFromFile(dir / "bad.net"), 0);
    EXPECT_EQ(back.RecordVersion, 6);
    EXPECT_FALSE(kumoya::platform::FileExists(dir / "bad.net.new"));
}
