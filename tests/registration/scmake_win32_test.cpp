#include <gtest/gtest.h>

#include "platform/files.h"
#include "registration/scmake.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

// A shortcut name beyond the path limit is refused, not cut to some other name.
TEST(TSCMakeOnWindows, RefusesAShortcutNameLongerThanThePathLimit) {
    testsupport::ScratchFolder dir;
    TSCMake sc;
    sc.SCDir = dir.path().substr(0, dir.path().size() - 1);
    sc.SCName = std::string(240, 'a');
    sc.LinkPath = "C:\\Tools\\edit.exe";
    EXPECT_LT(sc.CreateLink(), 0);
    EXPECT_TRUE(platform::ListDirectory(dir / "*").empty());
    sc.SCName = "short";
    EXPECT_GE(sc.CreateLink(), 0);
    EXPECT_TRUE(platform::FileExists(dir / "short.lnk"));
}

}  // namespace
}  // namespace kumoya
