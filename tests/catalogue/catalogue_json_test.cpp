#include "catalogue/catalogue_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/catalogue_sample.h"

using namespace kumoya;
namespace fmt = kumoya::catalogue_format;

namespace {
std::vector<std::uint8_t> ThroughJson(const std::vector<std::uint8_t>& bytes, std::string* jsonText = nullptr) {
    fmt::Image image;
    fmt::Fault fault;
    EXPECT_TRUE(fmt::Parse(bytes.data(), bytes.size(), image, fault)) << fault.What;
    std::string text = catalogue_json::ToJson(image).Write(2);
    if (jsonText) *jsonText = text;
    std::string error;
    auto value = json::Parse(text, error);
    EXPECT_TRUE(value) << error;
    fmt::Image back;
    EXPECT_TRUE(catalogue_json::FromJson(*value, back, error)) << error;
    return fmt::Serialize(back);
}
}  // namespace

TEST(CatalogueJson, DumpThenLoadGivesTheSameFileAsStored) {
    // Written by the program's own writer: back byte for byte, spare areas,
    // unsorted extensions, duplicate numbers and over-long histories included.
    fmt::Image image;
    fmt::Fault fault;
    auto sample = testsupport::SampleFile();
    ASSERT_TRUE(fmt::Parse(sample.data(), sample.size(), image, fault));
    image.Head.CountDate = std::nan("");
    image.Progs[0].LastLaunch = 45123.123456789012;
    auto canonical = fmt::Serialize(image);

    std::string text;
    EXPECT_EQ(ThroughJson(canonical, &text), canonical);
    // u8 literals stay UTF-8 whatever the narrow literal encoding is.
    std::string title = reinterpret_cast<const char*>(u8"\"Title\": \"ソフト\"");
    EXPECT_NE(text.find(title), std::string::npos) << "Japanese text is UTF-8 in the dump";
    EXPECT_NE(text.find("\"ProgIds\": [4, 0, 4]"), std::string::npos) << "the dump shows the file as stored";
}

TEST(CatalogueJson, UnusualStoredValuesTravelAsTheyAre) {
    // A negative limit (the settings page can store one) and a parameter
    // flag other than 0 or 1 are written back as stored; bytes after the
    // last section are not part of the catalogue and are left out.
    fmt::Image image;
    image.History.Limit = -1;
    image.ExtParams.Limit = 100;
    image.ExtParams.Entries.push_back({3, 2, {{"TXT", ""}, {"DOC", ""}}});
    auto bytes = fmt::Serialize(image);
    std::string text;
    EXPECT_EQ(ThroughJson(bytes, &text), bytes);
    EXPECT_NE(text.find("\"HasParams\": 2"), std::string::npos) << text;
    auto withExtra = bytes;
    withExtra.insert(withExtra.end(), {1, 2, 3});
    EXPECT_EQ(ThroughJson(withExtra), bytes);
}

TEST(CatalogueJson, TextWithoutAUnicodeFormTravelsAsHex) {
    fmt::Image image;
    image.Progs.resize(1);
    image.Progs[0].Title = "\x81\xFF?";  // not Shift_JIS
    image.Progs[0].Path = "\xED\x40";    // an NEC-selected IBM extension: converts, but not back to itself
    auto bytes = fmt::Serialize(image);
    std::string text;
    EXPECT_EQ(ThroughJson(bytes, &text), bytes);
    EXPECT_NE(text.find("\"hex\": \"81ff3f\""), std::string::npos) << text;
}

TEST(CatalogueJson, LoadRefusesWhatTheFileCannotHold) {
    fmt::Image image;
    image.Progs.resize(1);
    std::string text = catalogue_json::ToJson(image).Write(0);
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    struct Case {
        std::string json, expected;
    } cases[] = {
        {replace("\"Title\":\"\"", "\"Title\":\"" + std::string(40, 'x') + "\""), "Progs[0].Title: 40 bytes"},
        {replace("\"Title\":\"\"", "\"Title\":\"\\u00e9\""), "Progs[0].Title: text has no Shift_JIS form"},
        {replace("\"Id\":0", "\"Id\":1.5"), "Progs[0].Id: not a 32-bit integer"},
        {replace("\"HistoryMax\":5,", ""), "Head: missing \"HistoryMax\""},
        {replace("\"Limit\":0", "\"Limit\":\"0\""), "History.Limit: not a 32-bit integer"},
    };
    for (const auto& c : cases) {
        std::string error;
        auto value = json::Parse(c.json, error);
        ASSERT_TRUE(value) << error;
        fmt::Image out;
        EXPECT_FALSE(catalogue_json::FromJson(*value, out, error));
        EXPECT_EQ(error.substr(0, c.expected.size()), c.expected) << error;
    }
    std::string error;
    EXPECT_FALSE(json::Parse("{\n\"a\": [1,\n}", error));
    EXPECT_EQ(error.substr(0, 7), "line 3:");
}
