// The HTML help as shipped: every topic a window can ask for has its page,
// every link and picture of every page is there, and the contents page
// reaches every page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/help.h"

namespace kumoya {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HelpPages, EveryTopicHasItsPageAndEveryLinkAndPictureResolves) {
    const fs::path folder = fs::path(KUMOYA_SOURCE_DIR) / "help";
    std::size_t count = 0;
    const platform::HelpTopic* topics = platform::HelpTopics(count);
    for (std::size_t i = 0; i < count; ++i) EXPECT_TRUE(fs::is_regular_file(folder / topics[i].page)) << topics[i].page;
    for (unsigned command : {platform::kHelpContents, platform::kHelpFinder, platform::kHelpHelpOnHelp})
        EXPECT_TRUE(fs::is_regular_file(folder / platform::HtmlHelpPage(command, 0))) << command;

    // Links and pictures are written in double quotes; the regex reads the
    // source bytes, which are UTF-8 (the pages declare it).
    const std::regex reference(R"((?:href|src)=\"([^\"#:]+)\")");
    std::set<std::string> pages, reached;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".html") continue;
        const std::string name = entry.path().filename().string();
        pages.insert(name);
        const std::string text = ReadText(entry.path());
        EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos) << name;
        EXPECT_NE(text.find("<title>"), std::string::npos) << name;
        for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
            const std::string target = (*it)[1];
            EXPECT_TRUE(fs::is_regular_file(folder / target)) << name << " refers to the missing " << target;
            if (name == "index.html") reached.insert(target);
        }
    }
    for (const std::string& page : pages) {
        if (page == "index.html") continue;
        EXPECT_TRUE(reached.count(page)) << "the contents do not lead to " << page;
    }
}

}  // namespace
}  // namespace kumoya
