// The advertisement file: record layout, clip unpacking and packing, and
// files that are shorter or stranger than their sizes say.
#include "online/cmdata.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "support/online_records.h"
#include "support/scratch_folder.h"

using kumoya::TCMData;
using kumoya::testsupport::AdvertisementFile;
using kumoya::testsupport::PatternClip;
using kumoya::testsupport::ScratchFolder;
namespace platform = kumoya::platform;

namespace {

AdvertisementFile SampleAd(std::size_t clipSize) {
    AdvertisementFile ad;
    ad.name = "\x83\x5C\x83\x74\x83\x67 spring";  // ソフト
    ad.clickCount = 41;
    ad.displayMs = 123456.5;
    ad.linkCount = 2;
    ad.links = {"http://a.test/1", "https://b.test/2", "http://c.test/3"};
    ad.pauseSeconds = 10;
    ad.clip = PatternClip(clipSize);
    ad.carriedFill = 0x3D;
    return ad;
}

}  // namespace

TEST(AdvertisementFile, ClipsRoundTripInBlocksAndStatisticsPersist) {
    // Empty, below one block, exactly two blocks (no partial copy) and two
    // blocks and a bit.
    for (std::size_t size : {std::size_t{0}, std::size_t{1000}, std::size_t{131072}, std::size_t{131072 + 17}}) {
        SCOPED_TRACE(size);
        ScratchFolder dir;
        AdvertisementFile ad = SampleAd(size);
        ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", ad.Bytes()));

        TCMData data;
        ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
        EXPECT_EQ(data.AdName, ad.name);
        EXPECT_EQ(data.ClickCount, 41);
        EXPECT_EQ(data.DisplayMs, 123456.5);
        EXPECT_EQ(data.Links(), 2);
        EXPECT_EQ(data.Link(2), "https://b.test/2");
        EXPECT_EQ(data.Link(3), "http://c.test/3");
        EXPECT_EQ(data.PauseSeconds, 10);
        EXPECT_EQ(data.ClipSize, static_cast<std::int32_t>(size));
        EXPECT_EQ(data.ClipPath, dir / "CM.AVI");
        EXPECT_EQ(platform::ReadFileBytes(dir / "CM.AVI"), ad.clip);

        data.ClickCount += 3;
        data.DisplayMs += 22500;
        ASSERT_EQ(data.SaveWithClip(dir / "zelkova.cm"), 0);
        EXPECT_FALSE(platform::FileExists(dir / "CM.AVI"));
        EXPECT_FALSE(platform::FileExists(dir / "zelkova.cm.new"));
        ad.clickCount = 44;
        ad.displayMs = 145956.5;
        // Everything else, carried values and padding included, byte for byte.
        EXPECT_EQ(platform::ReadFileBytes(dir / "zelkova.cm"), ad.Bytes());

        TCMData again;
        ASSERT_EQ(again.LoadRecord(dir / "zelkova.cm"), 0);
        EXPECT_EQ(again.ClickCount, 44);
        EXPECT_EQ(again.ClipPath, "");
    }
}

TEST(AdvertisementFile, TheClipFileDecidesTheStoredSize) {
    ScratchFolder dir;
    AdvertisementFile ad = SampleAd(500);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", ad.Bytes()));
    TCMData data;
    ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
    std::vector<std::uint8_t> longer = PatternClip(70000);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "CM.AVI", longer));
    ASSERT_EQ(data.SaveWithClip(dir / "zelkova.cm"), 0);
    ad.clip = longer;
    EXPECT_EQ(platform::ReadFileBytes(dir / "zelkova.cm"), ad.Bytes());
}

TEST(AdvertisementFile, WithoutAnUnpackedClipNothingIsWritten) {
    ScratchFolder dir;
    AdvertisementFile ad = SampleAd(10);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", ad.Bytes()));
    TCMData data;
    ASSERT_EQ(data.LoadRecord(dir / "zelkova.cm"), 0);
    data.ClickCount = 1000;
    EXPECT_EQ(data.SaveWithClip(dir / "zelkova.cm"), 0);  // never unpacked
    ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
    ASSERT_TRUE(platform::DeleteFileAt(dir / "CM.AVI"));
    data.ClickCount = 1000;
    EXPECT_EQ(data.SaveWithClip(dir / "zelkova.cm"), 0);  // clip gone
    EXPECT_EQ(data.SaveWithClip(""), 0);
    EXPECT_EQ(platform::ReadFileBytes(dir / "zelkova.cm"), ad.Bytes());
}

TEST(AdvertisementFile, AFailedSaveKeepsTheOldFile) {
    ScratchFolder dir;
    AdvertisementFile ad = SampleAd(3000);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", ad.Bytes()));
    TCMData data;
    ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
    // Something in the way of the new file beside it.
    ASSERT_TRUE(platform::CreateDirectories(dir / "zelkova.cm.new"));
    data.ClickCount = 7;
    EXPECT_EQ(data.SaveWithClip(dir / "zelkova.cm"), -1);
    EXPECT_EQ(platform::ReadFileBytes(dir / "zelkova.cm"), ad.Bytes());
    EXPECT_TRUE(platform::FileExists(dir / "CM.AVI"));
}

TEST(AdvertisementFile, ShortOrNegativeSizesAreFaultyAndReadNothingBeyondTheFile) {
    ScratchFolder dir;
    AdvertisementFile ad = SampleAd(70000);
    std::vector<std::uint8_t> whole = ad.Bytes();
    AdvertisementFile negative = SampleAd(100);
    negative.clipSizeField = 0;
    std::vector<std::uint8_t> negativeBytes = negative.Bytes();
    negativeBytes[2096 + 3] = 0x80;  // ClipSize below zero
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        int record, withClip;
    };
    std::vector<Case> cases = {
        {"empty", {}, 1, 1},
        {"half a record", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 1500), 1, 1},
        {"clip cut short", std::vector<std::uint8_t>(whole.begin(), whole.end() - 1), 0, 1},
        {"negative clip size", negativeBytes, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", c.bytes));
        TCMData data;
        data.AdName = "before";
        int record = data.LoadRecord(dir / "zelkova.cm");
        EXPECT_EQ(record, c.record);
        if (record != 0) {
            EXPECT_EQ(data.AdName, "before");
        }
        TCMData clip;
        clip.AdName = "before";
        EXPECT_EQ(clip.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), c.withClip);
        EXPECT_EQ(clip.AdName, "before");
        EXPECT_EQ(clip.ClipPath, "");
        EXPECT_FALSE(platform::FileExists(dir / "CM.AVI"));
    }
    TCMData none;
    EXPECT_EQ(none.LoadRecord(dir / "missing.cm"), -1);
    EXPECT_EQ(none.LoadWithClip(dir / "missing.cm", dir / "CM.AVI"), -1);

    // A longer file than the sizes say is read up to its clip.
    std::vector<std::uint8_t> longer = whole;
    longer.push_back(0xEE);
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", longer));
    TCMData data;
    ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
    EXPECT_EQ(platform::ReadFileBytes(dir / "CM.AVI"), ad.clip);
}

TEST(AdvertisementLinks, CountsAreBoundedAndOnlyWebAddressesOpen) {
    TCMData data;
    data.LinkUrl1 = "http://one.test/";
    for (auto [stored, used] : {std::pair{-5, 0}, std::pair{0, 0}, std::pair{3, 3}, std::pair{4, 3},
                                std::pair{0x7FFFFFFF, 3}}) {
        data.LinkCount = stored;
        EXPECT_EQ(data.Links(), used) << stored;
    }
    EXPECT_EQ(data.Link(0), "");
    EXPECT_EQ(data.Link(4), "");

    for (const char* ok : {"http://a.test/", "https://a.test/x?y=1", "HTTP://A.TEST", "Https://a"})
        EXPECT_TRUE(kumoya::MayOpenAdvertisementLink(ok)) << ok;
    for (const char* bad : {"", "http://", "https://", "file:///C:/Windows/notepad.exe", "C:\\Windows\\notepad.exe",
                            "\\\\server\\share\\x.exe", "javascript:alert(1)", "mailto:a@b", "ftp://a.test/",
                            "http://a.test/ calc.exe", "http://a.test/\r\n", " http://a.test/", "httpx://a"})
        EXPECT_FALSE(kumoya::MayOpenAdvertisementLink(bad)) << bad;
}
