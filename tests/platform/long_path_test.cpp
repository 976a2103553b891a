#include "platform/long_path.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/text.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::ScratchFolder;

TEST(LongPath, EveryFoundComponentTakesItsStoredName) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::CreateDirectories(dir / "Program Files\\\x83\x5C\x83\x74\x83\x67"));
    ASSERT_TRUE(platform::WriteFileBytes(dir / "Program Files\\\x83\x5C\x83\x74\x83\x67\\Editor.EXE", {}));
    std::string typed = sjis::UpperAscii(dir.path()) + "program files\\\x83\x5C\x83\x74\x83\x67\\editor.exe";
    std::string expected = dir / "Program Files\\\x83\x5C\x83\x74\x83\x67\\Editor.EXE";
    // The scratch folder's own parents keep their stored names too, up to
    // the drive, which is kept as typed.
    std::string result = platform::LongPathName(typed);
    EXPECT_TRUE(sjis::EqualsIgnoreCase(result, expected)) << result;
    EXPECT_EQ(result.substr(result.size() - 30), expected.substr(expected.size() - 30));
    EXPECT_EQ(result.substr(0, 3), typed.substr(0, 3));
}

TEST(LongPath, MissingPartsStopTheWalk) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::CreateDirectories(dir / "Real"));
    // The file is missing: its name is left out and the folders still resolve.
    EXPECT_EQ(platform::LongPathName(dir / "REAL\\gone.txt"), dir / "Real\\");
    // A missing folder ends the walk: from there on the text stays as given.
    std::string given = dir / "nowhere\\x\\file.txt";
    EXPECT_EQ(platform::LongPathName(given), dir / "nowhere\\x\\");
}
