// The update's downloads through the program's FileDownloader.
#pragma once

#include "online/update.h"

namespace kumoya::net {
class FileDownloader;
}

namespace kumoya {

// Runs each download with the start-up form's FileDownloader: sets its file
// mode, target and proxy, installs the progress handler for the time of the
// get and removes its handlers afterwards (the component outlives the form).
class FileDownloaderAdapter : public UpdateDownloader {
public:
    explicit FileDownloaderAdapter(net::FileDownloader& http) : http_(http) {}
    DownloadOutcome Download(std::string_view address, std::string_view target, const ProxySetting& proxy,
                             const Progress& progress) override;

private:
    net::FileDownloader& http_;
};

// The update site of this installation (the maker's settings).
std::string UpdateSiteHost();

}  // namespace kumoya
