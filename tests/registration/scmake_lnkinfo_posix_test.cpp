// Shortcuts written natively are read by an independent reader of the format,
// lnkinfo (liblnk), with the same target, folder, arguments and icon.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

#include "platform/codec.h"
#include "platform/posix/host_path.h"
#include "registration/scmake.h"
#include "support/scratch_folder.h"

namespace kumoya {
namespace {

// lnkinfo's "Name : value" lines, values in UTF-8.
std::map<std::string, std::string> LnkInfo(const std::string& hostFile) {
    std::map<std::string, std::string> fields;
    std::string command = "lnkinfo '" + hostFile + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return fields;
    char line[4096];
    while (fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        auto colon = text.find(':');
        if (colon == std::string::npos || text.empty() || text[0] != '\t') continue;
        std::string name = text.substr(1, colon - 1);
        while (!name.empty() && (name.back() == '\t' || name.back() == ' ')) name.pop_back();
        std::string value = colon + 2 <= text.size() ? text.substr(colon + 2) : "";
        fields[name] = value;
    }
    return fields;
}

std::string Utf8(const std::string& sjis) { return platform::SjisToUtf8(sjis).value_or("<not Shift_JIS>"); }

TEST(TSCMakeWithLnkInfo, IndependentReaderSeesTheSameParts) {
    if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
    testsupport::ScratchFolder dir;
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";  // ソフト
    struct Case {
        std::string target;
        const char* field;
    } cases[] = {{"C:\\Program Files\\" + soft + "\\app.exe", "Local path"},
                 {"\\\\server\\share\\" + soft + "\\app.exe", "Network path"}};
    for (const auto& c : cases) {
        TSCMake sc;
        sc.SCDir = dir.path().substr(0, dir.path().size() - 1);
        sc.SCName = "link";
        sc.LinkPath = c.target;
        sc.WorkDir = "D:\\" + soft + " work";
        sc.Argument = "-a \"b c\" " + soft;
        sc.IconPath = "C:\\icons\\" + soft + ".ico";
        sc.IconNo = 4;
        ASSERT_GE(sc.CreateLink(), 0);

        auto host = platform::posix::ToHostPath(dir / "link.lnk");
        ASSERT_TRUE(host);
        auto fields = LnkInfo(*host);
        ASSERT_FALSE(fields.empty()) << "lnkinfo could not read " << *host;
        EXPECT_EQ(Utf8(c.target), fields[c.field]);
        EXPECT_EQ(Utf8(sc.WorkDir), fields["Working directory"]);
        EXPECT_EQ(Utf8(sc.Argument), fields["Command line arguments"]);
        EXPECT_EQ(Utf8(sc.IconPath), fields["Icon location"]);
        EXPECT_EQ("4", fields["Icon index"]);
    }
}

}  // namespace
}  // namespace kumoya
