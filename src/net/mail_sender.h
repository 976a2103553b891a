// MailSender: sends one plain-text message by SMTP.
//
//   MailSender mail;
//   mail.Host = "mail.example.invalid";  mail.UserID = "me";
//   mail.OnAuthenticationFailed = [&](bool& handled) { mail.UserID = ask(); handled = true; };
//   mail.OnSendStart = [&] { /* edit mail.FinalHeader */ };
//   try {
//       mail.Connect();                       // "HELO " + UserID
//       mail.FromAddress = "me@example.invalid";
//       mail.ToList = {"support@kumoya.invalid"};
//       mail.Subject = "...";  mail.Body = {"line 1", "line 2"};
//       mail.Send();                          // RSET, MAIL FROM, RCPT TO..., DATA
//       mail.Disconnect();                    // QUIT
//   } catch (const net::NetError&) { ... }
//
// Every call blocks its caller; while waiting it calls OnIdle on the calling
// thread (by default: process the user interface's pending messages).
// Replies may span several lines ("250-..."); a reply is read whole.
//
// Nothing is sent that could change the dialogue's meaning: an address (the
// sender or a recipient) holding CR, LF, "<" or ">" and a header value holding
// CR or LF make Send throw before any command goes out; a body line holding
// CR or LF is sent as several lines.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/net_error.h"

namespace kumoya::net {

class MailSender {
public:
    MailSender();
    ~MailSender();
    MailSender(const MailSender&) = delete;
    MailSender& operator=(const MailSender&) = delete;

    std::string Host;    // mail server name
    std::string UserID;  // argument of "HELO "
    int Port = 25;

    std::string FromAddress;  // sender
    std::string FromName;     // put before "<FromAddress>" in the From line
    std::vector<std::string> ToList;   // recipients
    std::vector<std::string> CCList;   // copy recipients
    std::vector<std::string> BCCList;  // blind-copy recipients (no header line)
    std::string Subject;
    // Optional header values; each is sent only when not empty.
    std::string XMailer, ReplyTo, Date;
    // Lines of the message body, without line ends.
    std::vector<std::string> Body;

    // The complete header lines of the message about to be sent; built by
    // Send before OnSendStart, which may edit it.
    std::vector<std::string> FinalHeader;

    std::function<void()> OnSendStart;
    // Raised once in Connect when the server rejects HELO (reply 300 or
    // more). Set a new UserID and handled = true to try HELO once more.
    std::function<void(bool& handled)> OnAuthenticationFailed;
    // Raised when the server refuses the message after its final "."; Send
    // then throws.
    std::function<void()> OnFailure;
    // Called between waiting slices on the calling thread. Defaults to
    // processing the user interface's pending messages; may be cleared.
    std::function<void()> OnIdle;

    // Time limit, in milliseconds, for connecting (name look-up included),
    // for sending, and for each reply.
    int TimeoutMs = 30000;

    // Connects to Host:Port, reads the greeting and sends HELO. Throws
    // NetError on failure (the connection is then dropped).
    void Connect();
    // Sends QUIT, reads its reply when one comes, and closes. Throws
    // NetError when QUIT cannot be sent; the connection is closed either way.
    void Disconnect();
    bool Connected() const;
    // Sends the message. Throws NetError when the sender or all recipient
    // lists are empty, when an address or header value is refused, when the
    // server answers 400 or more, or when the connection fails.
    void Send();

    // Limits on a server reply: longer lines or more lines fail the call.
    static constexpr std::size_t kMaxReplyLine = 4096;
    static constexpr std::size_t kMaxReplyLines = 100;

private:
    std::unique_ptr<class Connection> connection_;
    bool busy_ = false;
};

}  // namespace kumoya::net
