#include "online/update_download.h"

#include "net/file_downloader.h"
#include "net/maker_settings.h"

namespace kumoya {

namespace {

// Clears the component's handlers however the get ends.
class HandlersInstalled {
public:
    HandlersInstalled(net::FileDownloader& http, const UpdateDownloader::Progress& progress) : http_(http) {
        http_.OnPacketRecvd = [this, &progress] {
            if (progress) progress(http_.BytesRecvd(), http_.BytesTotal());
        };
        http_.OnFailure = nullptr;  // an error status is judged from the outcome
        http_.OnSuccess = nullptr;
    }
    ~HandlersInstalled() {
        http_.OnPacketRecvd = nullptr;
        http_.OnFailure = nullptr;
        http_.OnSuccess = nullptr;
    }
    HandlersInstalled(const HandlersInstalled&) = delete;
    HandlersInstalled& operator=(const HandlersInstalled&) = delete;

private:
    net::FileDownloader& http_;
};

}  // namespace

DownloadOutcome FileDownloaderAdapter::Download(std::string_view address, std::string_view target,
                                                const ProxySetting& proxy, const Progress& progress) {
    http_.InputFileMode = true;
    http_.Body = std::string(target);
    http_.Proxy = proxy.host;
    http_.ProxyPort = proxy.host.empty() ? 0 : proxy.port;
    HandlersInstalled handlers(http_, progress);
    DownloadOutcome out;
    try {
        http_.Get(std::string(address));
    } catch (const net::NetError&) {
        http_.Abort();
        out.status = http_.StatusCode();
        out.received = http_.BytesRecvd();
        return out;  // not transferred
    }
    out.status = http_.StatusCode();
    out.received = http_.BytesRecvd();
    // The component reports 0 for a reply without a length; it replaced the
    // target only with a complete body, which is what counts here.
    out.total = http_.BytesTotal() > 0 ? http_.BytesTotal() : -1;
    out.transferred = http_.BodyStored() || out.status >= 400;
    if (http_.BodyStored() && out.total < 0) out.total = out.received;
    return out;
}

std::string UpdateSiteHost() { return net::Maker().UpdateSite; }

}  // namespace kumoya
