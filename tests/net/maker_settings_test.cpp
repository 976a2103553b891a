// The maker's settings: compiled-in defaults that never name a real host, and
// the settings file that overrides them.
#include "net/maker_settings.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/scratch_folder.h"

namespace kumoya::net {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(MakerSettingsTest, DefaultsUseTheReservedDomainAndTheFileOverridesThem) {
    MakerSettings defaults;
    EXPECT_TRUE(EndsWith(defaults.MailTo, ".invalid"));
    EXPECT_TRUE(EndsWith(defaults.MailBcc, ".invalid"));
    EXPECT_TRUE(EndsWith(defaults.UpdateSite, ".invalid"));
    EXPECT_EQ(defaults.SmtpPort, 25);

    testsupport::ScratchFolder folder;
    std::string text = "; where reports go\r\n"
                       "  mailto = help@example.invalid \r\n"
                       "MAILBCC=\r\n"
                       "# a comment\n"
                       "SmtpPort=2525\n"
                       "UpdateSite=127.0.0.1:8080\n"
                       "Unknown=1\n"
                       "no equals sign\n";
    ASSERT_TRUE(platform::WriteFileBytes(folder / "Zelkova.ini", platform::Bytes(text.begin(), text.end())));
    MakerSettings s = LoadMakerSettings(folder / "Zelkova.ini");
    EXPECT_EQ(s.MailTo, "help@example.invalid");
    EXPECT_EQ(s.MailBcc, "");  // no blind copy
    EXPECT_EQ(s.SmtpPort, 2525);
    EXPECT_EQ(s.UpdateSite, "127.0.0.1:8080");
    EXPECT_EQ(s.SiteAddress("/vor/zelkova/zelkova.net"), "http://127.0.0.1:8080/vor/zelkova/zelkova.net");

    // A missing file gives the defaults.
    EXPECT_EQ(LoadMakerSettings(folder / "missing.ini").MailTo, defaults.MailTo);
}

TEST(MakerSettingsTest, UnusableValuesKeepTheDefaults) {
    MakerSettings s = ParseMakerSettings(
        "SmtpPort=0\nSmtpPort=70000\nSmtpPort=25x\n"
        "UpdateSite=evil.invalid/other\nUpdateSite=a b\nUpdateSite=host:0\nUpdateSite=\n"
        "MailTo=a@b>\nMailTo=x@y,z@w\nMailTo=\n");
    MakerSettings defaults;
    EXPECT_EQ(s.SmtpPort, defaults.SmtpPort);
    EXPECT_EQ(s.UpdateSite, defaults.UpdateSite);
    EXPECT_EQ(s.MailTo, defaults.MailTo);
}

}  // namespace
}  // namespace kumoya::net
