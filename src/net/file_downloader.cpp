#include "net/file_downloader.h"

#include "platform/text.h"
#include <vector>

#include "net/connection.h"
#include "net/http_reply.h"
#include "platform/output_file.h"
#include "platform/ui/application.h"

namespace kumoya::net {
namespace {

constexpr std::size_t kChunk = 128 * 1024;

struct Address {
    std::string host;       // for the connection ("::1" without brackets)
    std::string authority;  // host[:port] as written, for the Host line
    int port = 80;
    std::string path;       // from the first "/" after the host
};

// Header names, settings names: ASCII letters compared without case.
bool SameNoCase(std::string_view a, std::string_view b) { return sjis::EqualsIgnoreCase(a, b); }

// Parses "http://host[:port][/path]"; throws NetError on anything else.
Address ParseAddress(const std::string& text) {
    for (unsigned char c : text)
        if (c <= 0x20 || c == 0x7F) throw NetError("address holds a blank or a control character");
    constexpr std::string_view scheme = "http://";
    if (text.size() < scheme.size() || !SameNoCase(std::string_view(text).substr(0, scheme.size()), scheme))
        throw NetError("not an http:// address: " + text);
    std::string_view rest = std::string_view(text).substr(scheme.size());
    std::size_t slash = rest.find('/');
    Address a;
    a.authority = std::string(rest.substr(0, slash));
    a.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    std::string_view hostPort = a.authority;
    if (hostPort.find('@') != std::string_view::npos) throw NetError("address with user information: " + text);
    std::string_view portText;
    if (!hostPort.empty() && hostPort.front() == '[') {  // [IPv6]:port
        std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) throw NetError("unclosed IPv6 address: " + text);
        a.host = std::string(hostPort.substr(1, close - 1));
        std::string_view after = hostPort.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') throw NetError("bad host in address: " + text);
            portText = after.substr(1);
        }
    } else {
        std::size_t colon = hostPort.find(':');
        a.host = std::string(hostPort.substr(0, colon));
        if (colon != std::string_view::npos) portText = hostPort.substr(colon + 1);
    }
    if (a.host.empty()) throw NetError("address without a host: " + text);
    if (!portText.empty() || a.authority.back() == ':') {
        if (portText.empty() || portText.size() > 5) throw NetError("bad port in address: " + text);
        int port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') throw NetError("bad port in address: " + text);
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) throw NetError("bad port in address: " + text);
        a.port = port;
    }
    return a;
}

}  // namespace

FileDownloader::FileDownloader() : OnIdle([] { ui::App().processMessages(); }) {}
FileDownloader::~FileDownloader() = default;

void FileDownloader::Abort() {
    abortRequested_ = true;
    if (!busy_ && connection_) connection_->Close();
}

void FileDownloader::Get(const std::string& address) {
    if (busy_) throw NetError("a download is already running");
    busy_ = true;
    struct Done {
        FileDownloader& self;
        ~Done() {
            self.busy_ = false;
            if (self.connection_) self.connection_->Close();
        }
    } done{*this};

    bytesRecvd_ = bytesTotal_ = 0;
    statusCode_ = 0;
    bodyStored_ = false;
    abortRequested_ = false;
    if (!InputFileMode || Body.empty()) throw NetError("no target file for the download");

    Address target = ParseAddress(address);
    bool viaProxy = !Proxy.empty();
    if (viaProxy && (ProxyPort < 1 || ProxyPort > 65535))
        throw NetError("bad proxy port " + std::to_string(ProxyPort));
    for (unsigned char c : Proxy)
        if (c <= 0x20 || c == 0x7F) throw NetError("proxy name holds a blank or a control character");

    std::string request = "GET " + (viaProxy ? address : target.path) + " HTTP/1.0\r\n";
    if (viaProxy) request += "Proxy-Connection: Keep-Alive\r\n";
    request += "Host: " + target.authority + "\r\n";
    request += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
    request += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
    request += "Content-type: application/x-www-form-urlencoded\r\n";
    request += "\r\n";

    connection_ = std::make_unique<Connection>(TimeoutMs, OnIdle, abortRequested_);
    connection_->Open(viaProxy ? Proxy : target.host, viaProxy ? ProxyPort : target.port);
    connection_->SendAll(request);

    // The status line and the header must arrive whole within the time limit.
    connection_->LimitWholeWait(TimeoutMs);
    HttpReplyHead head(kMaxHeaderLine, kMaxHeaderLines);
    std::vector<char> chunk(kChunk);
    std::size_t bodyStart = 0, chunkSize = 0;
    while (head.state() == HttpReplyHead::State::Incomplete) {
        chunkSize = connection_->ReadSome(chunk.data(), chunk.size());
        if (chunkSize == 0) throw NetError("connection closed before the reply header ended");
        bodyStart = head.Feed(chunk.data(), chunkSize);
    }
    if (head.state() == HttpReplyHead::State::Failed) throw NetError(head.error());
    connection_->LimitWholeWait(0);
    statusCode_ = head.statusCode();
    std::int64_t length = head.contentLength();
    bytesTotal_ = length > 0 ? length : 0;

    if (statusCode_ >= 400) {
        // The error page is not kept: the target stays as it was.
        connection_->Close();
        if (OnFailure) OnFailure(CmdGet);
        return;
    }
    if (statusCode_ < 200 || statusCode_ > 299) {
        // Redirects and the like are not followed; nothing is stored.
        connection_->Close();
        return;
    }

    platform::OutputFile file;
    if (!file.Open(Body)) throw NetError("cannot create the file for " + Body + " (" + file.Error() + ")");
    auto store = [&](const char* data, std::size_t size) {
        if (length >= 0 && static_cast<std::int64_t>(size) > length - bytesRecvd_)
            size = static_cast<std::size_t>(length - bytesRecvd_);
        if (size > 0 && !file.Write(data, size)) throw NetError("cannot write " + Body + " (" + file.Error() + ")");
        bytesRecvd_ += static_cast<std::int64_t>(size);
    };
    store(chunk.data() + bodyStart, chunkSize - bodyStart);
    if (OnPacketRecvd) OnPacketRecvd();
    while (length < 0 || bytesRecvd_ < length) {
        std::size_t n = connection_->ReadSome(chunk.data(), chunk.size());
        if (n == 0) {
            if (length >= 0)
                throw NetError("connection closed after " + std::to_string(bytesRecvd_) + " of " +
                               std::to_string(length) + " bytes");
            break;  // no length given: the orderly close ends the body
        }
        store(chunk.data(), n);
        if (OnPacketRecvd) OnPacketRecvd();
    }
    connection_->Close();
    if (!file.Commit()) throw NetError("cannot replace " + Body + " (" + file.Error() + ")");
    bodyStored_ = true;
    if (OnSuccess) OnSuccess(CmdGet);
}

}  // namespace kumoya::net
