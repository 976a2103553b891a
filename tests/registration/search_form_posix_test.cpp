// Trees the search must survive that only the host can build here: a loop
// through a symbolic link, a folder that cannot be listed, a path far beyond
// 260 characters.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "platform/posix/host_path.h"
#include "platform/ui/headless.h"
#include "registration/search_form.h"
#include "support/scratch_folder.h"

using namespace kumoya;
using kumoya::testsupport::ScratchFolder;

TEST(SearchFormPosixTest, LoopsUnreadableFoldersAndLongPathsEndQuietly) {
    ui::HeadlessUi ui;
    ScratchFolder scratch;
    const std::string root = scratch.path();
    ASSERT_TRUE(platform::CreateDirectories(root + "a\\b"));
    ASSERT_TRUE(platform::WriteFileBytes(root + "a\\b\\tool.exe", {'M', 'Z'}));
    auto host = platform::posix::ToHostPath(root);
    ASSERT_TRUE(host);
    // Two links back up: without a guard the search would never end.
    ASSERT_EQ(::symlink(host->c_str(), (*host + "/a/b/up").c_str()), 0);
    ASSERT_EQ(::symlink((*host + "/a").c_str(), (*host + "/a/again").c_str()), 0);

    ASSERT_TRUE(platform::CreateDirectories(root + "locked"));
    ASSERT_TRUE(platform::WriteFileBytes(root + "locked\\secret.exe", {'M', 'Z'}));
    ASSERT_EQ(::chmod((*host + "/locked").c_str(), 0), 0);
    bool canReadAnyway = ::access((*host + "/locked").c_str(), R_OK) == 0;  // running as root

    std::string deep = root + "long";
    while (deep.size() < 400) deep += "\\folder_with_a_long_name";
    ASSERT_TRUE(platform::CreateDirectories(deep));
    ASSERT_TRUE(platform::WriteFileBytes(deep + "\\far.exe", {'M', 'Z'}));

    TfrmSearch f;
    f.Searching = true;
    f.SearchFolder(root, true);

    std::vector<std::string> rows;
    for (int i = 0; i < f.lvSearch.itemCount(); ++i) rows.push_back(f.lvSearch.item(i).caption);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const std::string& r) { return r.ends_with("tool.exe"); }), 1);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), deep + "\\far.exe"), 1);
    EXPECT_EQ(rows.size(), canReadAnyway ? 3u : 2u);
    EXPECT_TRUE(ui->messageBoxes().empty());

    ::chmod((*host + "/locked").c_str(), 0755);
    ::unlink((*host + "/a/b/up").c_str());  // the scratch cleanup follows links
    ::unlink((*host + "/a/again").c_str());
}
