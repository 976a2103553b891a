// Reading a file that another program holds open without sharing is told
// apart from reading one that is not there.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/win32/wide.h"
#include "support/scratch_folder.h"

using namespace kumoya;

TEST(FilesWin32, AFileHeldWithoutSharingIsInUseNotAbsent) {
    testsupport::ScratchFolder dir;
    const std::string path = dir / "held.dat";
    ASSERT_TRUE(platform::WriteFileBytes(path, {1, 2, 3}));
    auto wide = platform::win32::ToWide(path);
    ASSERT_TRUE(wide);
    HANDLE held = CreateFileW(wide->c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::ReadFileBytes(path));
    EXPECT_EQ(platform::LastFileFailure(), platform::FileFailure::InUse);
    EXPECT_TRUE(platform::FileExists(path));
    CloseHandle(held);
    EXPECT_EQ(*platform::ReadFileBytes(path), (platform::Bytes{1, 2, 3}));
    EXPECT_EQ(platform::LastFileFailure(), platform::FileFailure::None);
    EXPECT_FALSE(platform::ReadFileBytes(dir / "gone.dat"));
    EXPECT_EQ(platform::LastFileFailure(), platform::FileFailure::Absent);
}
