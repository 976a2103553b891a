// The SMTP sender against a real aiosmtpd server on 127.0.0.1
// (tests/net/servers.py): the dialogue byte for byte, the header list, the
// HELO retry, refusals, multi-line replies, stalls and injection attempts.
#include "net/mail_sender.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "net/test_servers.h"
#include "platform/socket.h"

namespace kumoya::net {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testsupport::ServerLog;
using testsupport::TestServers;

const std::string kAsciiContentType = "Content-Type: text/plain;                        charset=us-ascii";

class MailSenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestServers().problem.empty()) FAIL() << TestServers().problem;
        mail.Host = "127.0.0.1";
        mail.Port = TestServers().smtp;
        mail.UserID = "kumoya-user";
        mail.TimeoutMs = 3000;
        mail.OnIdle = nullptr;
        mail.OnAuthenticationFailed = [this](bool& handled) {
            ++authenticationFailures;
            if (!retryUser.empty()) {
                mail.UserID = retryUser;
                handled = true;
            }
        };
        mail.OnFailure = [this] { ++failures; };
        mail.FromAddress = "me@example.invalid";
        mail.ToList = {"support@kumoya.invalid"};
        mail.CCList.clear();
        mail.BCCList.clear();
        mail.Subject = "report";
        mail.Body = {"hello"};
    }

    MailSender mail;
    std::string retryUser;
    int authenticationFailures = 0;
    int failures = 0;
};

TEST_F(MailSenderTest, SendsTheWholeDialogueAndMessageByteForByte) {
    std::vector<std::string> builtHeader;
    mail.OnSendStart = [&] {
        builtHeader = mail.FinalHeader;
        // Declare the text as ISO-2022-JP in place of the plain ASCII line.
        auto a = std::find(mail.FinalHeader.begin(), mail.FinalHeader.end(), kAsciiContentType);
        ASSERT_NE(a, mail.FinalHeader.end());
        a = mail.FinalHeader.erase(a);
        mail.FinalHeader.insert(a, {"Content-Type: text/plain; charset=\"iso-2022-jp\"",
                                    "Content-Transfer-Encoding: 7bit"});
    };
    const std::string subject = "\x1b$B%F%9%H\x1b(B";  // JIS text
    mail.Connect();
    mail.ToList = {"support@kumoya.invalid", "second@kumoya.invalid"};
    mail.CCList = {"copy@kumoya.invalid"};
    mail.BCCList = {"archive@kumoya.invalid"};
    mail.Subject = subject;
    mail.Body = {"first line", ".starts with a dot", " ", "..two dots", "last line"};
    mail.Send();
    mail.Disconnect();
    EXPECT_FALSE(mail.Connected());

    EXPECT_EQ(builtHeader, (std::vector<std::string>{"From: <me@example.invalid>",
                                                     "To: support@kumoya.invalid,second@kumoya.invalid",
                                                     "CC: copy@kumoya.invalid", "Subject: " + subject,
                                                     "Mime-Version: 1.0", kAsciiContentType}));
    const std::string message = "From: <me@example.invalid>\r\n"
                                "To: support@kumoya.invalid,second@kumoya.invalid\r\n"
                                "CC: copy@kumoya.invalid\r\n"
                                "Subject: " + subject + "\r\n"
                                "Mime-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n"
                                "Content-Transfer-Encoding: 7bit\r\n"
                                "\r\n"
                                "\r\n"
                                "first line\r\n";
    EXPECT_EQ(ServerLog("smtp"), "HELO kumoya-user\r\n"
                                 "RSET\r\n"
                                 "MAIL FROM:<me@example.invalid>\r\n"
                                 "RCPT TO:<support@kumoya.invalid>\r\n"
                                 "RCPT TO:<second@kumoya.invalid>\r\n"
                                 "RCPT TO:<copy@kumoya.invalid>\r\n"
                                 "RCPT TO:<archive@kumoya.invalid>\r\n"
                                 "DATA\r\n" +
                                     message +
                                     "..starts with a dot\r\n"
                                     " \r\n"
                                     "...two dots\r\n"
                                     "last line\r\n"
                                     ".\r\n"
                                     "QUIT\r\n");
    // What the server understood: the envelope, and the text with the
    // doubled dots taken out again.
    EXPECT_EQ(ServerLog("smtp-from"), "me@example.invalid");
    EXPECT_EQ(ServerLog("smtp-to"),
              "support@kumoya.invalid,second@kumoya.invalid,copy@kumoya.invalid,archive@kumoya.invalid");
    EXPECT_EQ(ServerLog("smtp-content"), message + ".starts with a dot\r\n \r\n..two dots\r\nlast line\r\n");
    EXPECT_EQ(failures, 0);
}

TEST_F(MailSenderTest, ARejectedHeloIsRetriedOnceWithTheUserIdTheHandlerGives) {
    mail.UserID = "bad-user";
    retryUser = "good-user";
    mail.Connect();
    mail.Send();
    mail.Disconnect();
    EXPECT_EQ(authenticationFailures, 1);
    EXPECT_THAT(ServerLog("smtp"), ::testing::StartsWith("HELO bad-user\r\nHELO good-user\r\nRSET\r\n"));

    // Rejected again: connect fails, and the handler was asked only once.
    authenticationFailures = 0;
    mail.UserID = "bad-user";
    retryUser = "bad-again";
    EXPECT_THROW(mail.Connect(), NetError);
    EXPECT_EQ(authenticationFailures, 1);
    EXPECT_FALSE(mail.Connected());

    // Not handled (the user cancelled): connect fails without a second HELO.
    authenticationFailures = 0;
    mail.UserID = "bad-user";
    retryUser = "";
    EXPECT_THROW(mail.Connect(), NetError);
    EXPECT_EQ(authenticationFailures, 1);
    EXPECT_EQ(ServerLog("smtp"), "HELO bad-user\r\n");
}

TEST_F(MailSenderTest, MultiLineRepliesAreReadWhole) {
    // If only the first line of each reply were read, the refusal of the
    // second recipient would be taken for the reply to a later command.
    mail.UserID = "multi";
    mail.Connect();
    mail.ToList = {"multi@kumoya.invalid", "nobody@kumoya.invalid"};
    EXPECT_THROW(mail.Send(), NetError);
    EXPECT_THAT(ServerLog("smtp"), Not(HasSubstr("DATA")));
    EXPECT_EQ(failures, 0);

    mail.Connect();
    mail.ToList = {"multi@kumoya.invalid", "other@kumoya.invalid"};
    mail.Send();
    mail.Disconnect();
    EXPECT_EQ(ServerLog("smtp-to"), "multi@kumoya.invalid,other@kumoya.invalid");
}

TEST_F(MailSenderTest, RefusalsAndBrokenConnectionsFailTheSend) {
    // A refused recipient: nothing more is sent.
    mail.Connect();
    mail.ToList = {"nobody@kumoya.invalid"};
    EXPECT_THROW(mail.Send(), NetError);
    EXPECT_THAT(ServerLog("smtp"), ::testing::EndsWith("RCPT TO:<nobody@kumoya.invalid>\r\n"));

    // The message refused after its final dot: the failure event, then an error.
    mail.ToList = {"support@kumoya.invalid"};
    mail.FromAddress = "refuse@example.invalid";
    mail.Connect();
    EXPECT_THROW(mail.Send(), NetError);
    EXPECT_EQ(failures, 1);

    // The server hangs up instead of answering the final dot.
    failures = 0;
    mail.FromAddress = "close@example.invalid";
    mail.Connect();
    std::uint64_t start = platform::MonotonicMs();
    EXPECT_THROW(mail.Send(), NetError);
    EXPECT_LT(platform::MonotonicMs() - start, 2500u);
    EXPECT_EQ(failures, 0);

    // A server that does not answer HELO: connect gives up after the limit.
    mail.UserID = "stall";
    mail.TimeoutMs = 500;
    start = platform::MonotonicMs();
    EXPECT_THROW(mail.Connect(), NetError);
    EXPECT_LT(platform::MonotonicMs() - start, 2500u);

    // Nobody listening.
    mail.Port = 1;
    EXPECT_THROW(mail.Connect(), NetError);
}

TEST_F(MailSenderTest, InjectionAttemptsAreRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        std::function<void(MailSender&)> spoil;
    };
    const std::vector<Case> cases = {
        {"sender with a line break", [](MailSender& m) { m.FromAddress = "me@x>\r\nRCPT TO:<evil@x"; }},
        {"sender with >", [](MailSender& m) { m.FromAddress = "me@x> SIZE=1"; }},
        {"recipient with a line break", [](MailSender& m) { m.ToList = {"a@x\nRCPT TO:<evil@x>"}; }},
        {"blind copy with <", [](MailSender& m) { m.BCCList = {"<evil@x"}; }},
        {"subject with a line break", [](MailSender& m) { m.Subject = "hi\r\nBcc: evil@x"; }},
        {"header line edited to hold a line break",
         [](MailSender& m) { m.OnSendStart = [&m] { m.FinalHeader.push_back("X-A: 1\r\nBcc: evil@x"); }; }},
        {"no sender", [](MailSender& m) { m.FromAddress = ""; }},
        {"no recipient", [](MailSender& m) { m.ToList.clear(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        mail.OnSendStart = nullptr;
        c.spoil(mail);
        mail.Connect();
        EXPECT_THROW(mail.Send(), NetError);
        EXPECT_EQ(ServerLog("smtp"), "HELO kumoya-user\r\n");
        mail.Disconnect();
    }

    // Body lines are text, never commands: a line break inside one starts
    // a new line, and a lone "." on it is doubled.
    SetUp();
    mail.Body = {"one\r\n.\r\nMAIL FROM:<evil@x>", "two\rthree\nfour"};
    mail.Connect();
    mail.Send();
    mail.Disconnect();
    EXPECT_THAT(ServerLog("smtp"),
                HasSubstr("\r\n\r\n\r\none\r\n..\r\nMAIL FROM:<evil@x>\r\ntwo\r\nthree\r\nfour\r\n.\r\nQUIT\r\n"));
    EXPECT_THAT(ServerLog("smtp-content"), ::testing::EndsWith("one\r\n.\r\nMAIL FROM:<evil@x>\r\ntwo\r\nthree\r\nfour\r\n"));
}

}  // namespace
}  // namespace kumoya::net
