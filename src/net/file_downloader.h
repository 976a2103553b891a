// FileDownloader: fetches one file by an HTTP/1.0 GET, directly or through a
// proxy, into a local file.
//
//   FileDownloader http;
//   http.InputFileMode = true;
//   http.Body = "C:\\Kumoya\\update.net";
//   http.Proxy = "";  http.ProxyPort = 0;
//   http.OnPacketRecvd = [&] { bar = http.BytesTotal() ? http.BytesRecvd() * 100 / http.BytesTotal() : 0; };
//   try { http.Get("http://update.example.invalid/vor/zelkova/zelkova.net"); }
//   catch (const net::NetError&) { http.Abort(); /* no connection, lost, stalled */ }
//   if (!http.BodyStored()) { /* error status or redirect: the target is unchanged */ }
//
// The call blocks its caller. While it waits for the network it calls OnIdle
// every few milliseconds on the calling thread (by default: process the user
// interface's pending messages, so the window keeps painting), and it raises
// OnPacketRecvd on the calling thread as bytes arrive.
//
// The body is written to a temporary file beside the target. Only a complete
// body of a 2xx reply (all "Content-Length" bytes, or an orderly close when
// the reply has no length) replaces the target; anything else leaves the
// target as it was and removes the temporary file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "net/net_error.h"

namespace kumoya::net {

// The kind of request reported to OnSuccess and OnFailure.
enum CmdType : int { CmdGet = 0 };

class FileDownloader {
public:
    FileDownloader();
    ~FileDownloader();
    FileDownloader(const FileDownloader&) = delete;
    FileDownloader& operator=(const FileDownloader&) = delete;

    // The body goes to the file named by Body. Get refuses to run without it.
    bool InputFileMode = false;
    // Full Windows path (Shift_JIS) of the file that receives the body.
    std::string Body;
    // Proxy server name and port; an empty name means a direct connection.
    std::string Proxy;
    int ProxyPort = 0;

    // Raised repeatedly while the body arrives (and once when the header has
    // been read); read BytesRecvd() and BytesTotal() in it.
    std::function<void()> OnPacketRecvd;
    // Raised with CmdGet when the server answered with a status of 400 or more
    // (the body is read and dropped; Get then returns normally).
    std::function<void(int cmdType)> OnFailure;
    // Raised with CmdGet when a 2xx body has replaced the target file.
    std::function<void(int cmdType)> OnSuccess;
    // Called between waiting slices on the calling thread. Defaults to
    // processing the user interface's pending messages; may be cleared.
    std::function<void()> OnIdle;

    // Time limit, in milliseconds, for each wait: connecting (name look-up
    // included), sending, and every stretch in which no byte arrives.
    int TimeoutMs = 30000;

    // Blocking GET of an "http://host[:port]/path" address. Returns when the
    // reply has been read, error statuses included; throws NetError when the
    // transfer fails (bad address, host not found, no connection, connection
    // lost or reset, a stall past TimeoutMs, an unreadable or oversized reply
    // header, a short body, the target not writable, Abort, a second Get
    // from inside an event of this one).
    void Get(const std::string& address);
    // Drops the connection: after a Get has thrown, or from an event handler
    // or OnIdle during a Get, which then throws NetError.
    void Abort();

    // Bytes of the body received so far, and the total from the reply's
    // "Content-Length" (0 when the reply has none).
    std::int64_t BytesRecvd() const { return bytesRecvd_; }
    std::int64_t BytesTotal() const { return bytesTotal_; }
    // Status code of the last reply (0 before one has been read).
    int StatusCode() const { return statusCode_; }
    // True when the last Get replaced the target with a complete 2xx body.
    bool BodyStored() const { return bodyStored_; }

    // Limits on the reply header: longer lines or more lines fail the Get.
    static constexpr std::size_t kMaxHeaderLine = 8192;
    static constexpr std::size_t kMaxHeaderLines = 256;

private:
    std::int64_t bytesRecvd_ = 0;
    std::int64_t bytesTotal_ = 0;
    int statusCode_ = 0;
    bool bodyStored_ = false;
    bool busy_ = false;
    bool abortRequested_ = false;
    std::unique_ptr<class Connection> connection_;
};

}  // namespace kumoya::net
