// A catalogue that is there but cannot be read is neither a first run nor
// damage: it is reported as unreadable and never replaced.
#include <gtest/gtest.h>

#include "catalogue/nfile.h"
#include "platform/files.h"
#include "support/catalogue_sample.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::ScratchFolder;

TEST(UnreadableCatalogue, AFolderInPlaceOfTheFileIsNotAMissingFile) {
    ScratchFolder dir;
    ASSERT_TRUE(platform::CreateDirectories(dir / "PC.dat"));
    TNFile file(dir / "PC.dat");
    EXPECT_EQ(file.Load(), TNFile::kUnreadable);
    EXPECT_EQ(file.LoadFailure(), platform::FileFailure::IsFolder);
    EXPECT_EQ(file.Progs.Count(), 0);
    EXPECT_EQ(file.Save(), -1) << "what could not be read is not written over";
    EXPECT_TRUE(platform::DirectoryExists(dir / "PC.dat"));

    // Absence is still told apart: no file, and no folder on the way.
    TNFile missing(dir / "OTHER.dat");
    EXPECT_EQ(missing.Load(), TNFile::kNoFile);
    EXPECT_EQ(platform::LastFileFailure(), platform::FileFailure::Absent);
    TNFile nowhere(dir / "no\\such\\PC.dat");
    EXPECT_EQ(nowhere.Load(), TNFile::kNoFile);

    // Once it can be read again, it loads and saves as usual.
    ASSERT_TRUE(platform::RemoveEmptyDirectory(dir / "PC.dat"));
    ASSERT_TRUE(platform::WriteFileBytes(dir / "PC.dat", testsupport::SampleFile()));
    EXPECT_EQ(file.Load(), TNFile::kLoaded);
    EXPECT_EQ(platform::LastFileFailure(), platform::FileFailure::None);
    EXPECT_EQ(file.Save(), 0);
}
