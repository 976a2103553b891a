#include "net/mail_sender.h"

#include "net/connection.h"
#include "net/smtp_reply.h"
#include "platform/ui/application.h"

namespace kumoya::net {
namespace {

bool HoldsLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

void CheckAddress(const std::string& address, const char* what) {
    if (address.find_first_of(std::string_view("\r\n<>\0", 5)) != std::string::npos)
        throw NetError(std::string(what) + " address refused (holds a line break, a NUL, \"<\" or \">\")");
}

void CheckHeaderValue(const std::string& value, const char* what) {
    if (HoldsLineBreak(value)) throw NetError(std::string(what) + " refused (holds a line break)");
}

std::string Join(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& s : list) {
        if (!out.empty()) out += ",";
        out += s;
    }
    return out;
}

// Appends `line` to the message text as one or more lines: a CR, an LF or a
// CR LF inside it starts a new line, and a line that begins with "." gets a
// second one, so the text can never end the message early.
void AppendDataLine(std::string& out, std::string_view line) {
    for (;;) {
        std::size_t cut = line.find_first_of("\r\n");
        std::string_view piece = line.substr(0, cut);
        if (!piece.empty() && piece.front() == '.') out += '.';
        out.append(piece);
        out += "\r\n";
        if (cut == std::string_view::npos) return;
        std::size_t skip = (line[cut] == '\r' && cut + 1 < line.size() && line[cut + 1] == '\n') ? 2 : 1;
        line.remove_prefix(cut + skip);
    }
}

}  // namespace

MailSender::MailSender() : OnIdle([] { ui::App().processMessages(); }) {}
MailSender::~MailSender() = default;

bool MailSender::Connected() const { return connection_ && connection_->IsOpen(); }

namespace {

struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) {
        if (flag) throw NetError("the mail component is already at work");
        flag = true;
    }
    ~BusyGuard() { flag = false; }
};

// Reads one whole reply, within the time limit.
SmtpReply ReadReply(Connection& connection, int timeoutMs) {
    connection.LimitWholeWait(timeoutMs);
    SmtpReply reply(MailSender::kMaxReplyLines);
    while (reply.state() == SmtpReply::State::Incomplete) reply.AddLine(connection.ReadLine(MailSender::kMaxReplyLine));
    connection.LimitWholeWait(0);
    if (reply.state() == SmtpReply::State::Failed) throw NetError("unreadable reply from the mail server: " + reply.error());
    return reply;
}

}  // namespace

void MailSender::Connect() {
    BusyGuard busy(busy_);
    static const bool kNeverAborted = false;
    if (connection_) connection_->Close();
    if (Host.empty()) throw NetError("no mail server given");
    if (Port < 1 || Port > 65535) throw NetError("bad mail server port " + std::to_string(Port));
    CheckHeaderValue(UserID, "user ID");
    connection_ = std::make_unique<Connection>(TimeoutMs, OnIdle, kNeverAborted);
    try {
        connection_->Open(Host, Port);
        SmtpReply greeting = ReadReply(*connection_, TimeoutMs);
        if (greeting.code() >= 400) throw NetError("mail server refused the connection: " + greeting.text());
        connection_->SendAll("HELO " + UserID + "\r\n");
        SmtpReply hello = ReadReply(*connection_, TimeoutMs);
        if (hello.code() >= 300) {
            bool handled = false;
            if (OnAuthenticationFailed) OnAuthenticationFailed(handled);
            if (!handled) throw NetError("mail server refused HELO: " + hello.text());
            CheckHeaderValue(UserID, "user ID");
            connection_->SendAll("HELO " + UserID + "\r\n");
            hello = ReadReply(*connection_, TimeoutMs);
            if (hello.code() >= 300) throw NetError("mail server refused HELO again: " + hello.text());
        }
    } catch (...) {
        connection_->Close();
        throw;
    }
}

void MailSender::Disconnect() {
    BusyGuard busy(busy_);
    if (!Connected()) return;
    try {
        connection_->SendAll("QUIT\r\n");
    } catch (...) {
        connection_->Close();
        throw;
    }
    try {
        ReadReply(*connection_, TimeoutMs);
    } catch (const NetError&) {
        // The server may close at once after QUIT; the mail is out either way.
    }
    connection_->Close();
}

void MailSender::Send() {
    BusyGuard busy(busy_);
    if (!Connected()) throw NetError("not connected to a mail server");
    if (FromAddress.empty()) throw NetError("no sender address");
    if (ToList.empty() && CCList.empty() && BCCList.empty()) throw NetError("no recipient");
    CheckAddress(FromAddress, "sender");
    for (const auto* list : {&ToList, &CCList, &BCCList})
        for (const auto& address : *list) CheckAddress(address, "recipient");
    CheckHeaderValue(FromName, "sender name");
    CheckHeaderValue(Subject, "subject");
    CheckHeaderValue(XMailer, "X-Mailer");
    CheckHeaderValue(ReplyTo, "Reply-To");
    CheckHeaderValue(Date, "Date");

    FinalHeader.clear();
    FinalHeader.push_back("From: " + FromName + "<" + FromAddress + ">");
    FinalHeader.push_back("To: " + Join(ToList));
    if (!CCList.empty()) FinalHeader.push_back("CC: " + Join(CCList));
    if (!Subject.empty()) FinalHeader.push_back("Subject: " + Subject);
    if (!XMailer.empty()) FinalHeader.push_back("X-Mailer: " + XMailer);
    if (!ReplyTo.empty()) FinalHeader.push_back("Reply-To: " + ReplyTo);
    if (!Date.empty()) FinalHeader.push_back("Date: " + Date);
    FinalHeader.push_back("Mime-Version: 1.0");
    FinalHeader.push_back("Content-Type: text/plain;" + std::string(24, ' ') + "charset=us-ascii");
    if (OnSendStart) OnSendStart();
    for (const auto& line : FinalHeader) CheckHeaderValue(line, "header line");

    try {
        auto command = [&](const std::string& text) {
            connection_->SendAll(text + "\r\n");
            SmtpReply reply = ReadReply(*connection_, TimeoutMs);
            if (reply.code() >= 400) throw NetError("mail server refused \"" + text + "\": " + reply.text());
        };
        command("RSET");
        command("MAIL FROM:<" + FromAddress + ">");
        for (const auto* list : {&ToList, &CCList, &BCCList})
            for (const auto& address : *list) command("RCPT TO:<" + address + ">");
        command("DATA");

        std::string text;
        for (const auto& line : FinalHeader) AppendDataLine(text, line);
        text += "\r\n\r\n";
        for (const auto& line : Body) AppendDataLine(text, line);
        text += ".\r\n";
        connection_->SendAll(text);
        SmtpReply reply = ReadReply(*connection_, TimeoutMs);
        if (reply.code() >= 400) {
            if (OnFailure) OnFailure();
            throw NetError("mail server refused the message: " + reply.text());
        }
    } catch (...) {
        connection_->Close();
        throw;
    }
}

}  // namespace kumoya::net
