// Reading the window state back needs a reader that loads the show command;
// Wine's shell link object does not, so this runs on the native build (the
// Windows side is covered against the real object in the cross-checks).
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/lnk_format.h"
#include "registration/scmake.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

using testsupport::ScratchFolder;

TEST(TSCMake, ReadsTheWindowStateOfAShortcut) {
    ScratchFolder dir;
    platform::lnk::Link link;
    link.target = "C:\\Tools\\edit.exe";
    link.showCommand = 3;
    auto bytes = platform::lnk::Encode(link);
    ASSERT_TRUE(bytes && platform::WriteFileBytes(dir / "max.lnk", *bytes));
    TSCMake sc;
    ASSERT_EQ(0, sc.AnalizeLink(dir / "max.lnk"));
    EXPECT_EQ(3, sc.ShowCommand());
    EXPECT_EQ(WNDSTATE::Maximize, sc.GetWndState());
}

}  // namespace
}  // namespace kumoya
