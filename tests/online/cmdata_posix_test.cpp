// Saving an advertisement never rewrites the old file in place: a reader
// that had it open still sees the old file whole, the way a crash half-way
// through the save would leave it.
#include <gtest/gtest.h>

#include <vector>

#include "online/cmdata.h"
#include "platform/files.h"
#include "support/online_records.h"
#include "support/scratch_folder.h"

namespace platform = kumoya::platform;

TEST(AdvertisementFile, SavingReplacesTheFileInsteadOfRewritingIt) {
    kumoya::testsupport::ScratchFolder dir;
    kumoya::testsupport::AdvertisementFile ad;
    ad.name = "old";
    ad.clip = kumoya::testsupport::PatternClip(200000);
    std::vector<std::uint8_t> old = ad.Bytes();
    ASSERT_TRUE(platform::WriteFileBytes(dir / "zelkova.cm", old));

    kumoya::TCMData data;
    ASSERT_EQ(data.LoadWithClip(dir / "zelkova.cm", dir / "CM.AVI"), 0);
    platform::BlockFile before;
    ASSERT_TRUE(before.Open(dir / "zelkova.cm", platform::BlockFile::Mode::Read));
    data.ClickCount = 5;
    ASSERT_EQ(data.SaveWithClip(dir / "zelkova.cm"), 0);

    std::vector<std::uint8_t> seen(old.size() + 10);
    EXPECT_EQ(before.Read(seen.data(), seen.size()), static_cast<std::int64_t>(old.size()));
    seen.resize(old.size());
    EXPECT_EQ(seen, old);
    ad.clickCount = 5;
    EXPECT_EQ(platform::ReadFileBytes(dir / "zelkova.cm"), ad.Bytes());
}
