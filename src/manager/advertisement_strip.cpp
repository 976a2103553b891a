// The advertisement strip of the management window: choosing an
// advertisement, playing its clip in Panel1, the wait after it (TCmThread),
// clicks on the strip, and stopping it all before the next clip or when the
// window closes.
#include <cstdlib>

#include "manager/main_form.h"
#include "online/cmdata.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui/threads.h"
#include "platform/ui/window_service.h"

namespace kumoya {

std::vector<std::string> TfrmMain::FindAdvertisementFolders() {
    std::vector<std::string> folders;
    const std::string& program = context_.ProgramFolder();
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(program + "*")) {
        if (entry.isDirectory && platform::FileExists(program + entry.name + "\\zelkova.cm")) {
            folders.push_back(entry.name);
        }
    }
    return folders;
}

void TfrmMain::StopAdvertisement() {
    Ad.AdStopRequested.store(true, std::memory_order_release);
    // The wait notices within about a second; it needs this thread's
    // messages meanwhile, to close the player.
    auto idle = [this] { return Ad.AdIdle.load(std::memory_order_acquire); };
    while (!idle()) ui::PumpUntil(idle, -1);

    const bool cutShort = adPlaying_;
    adPlaying_ = false;
    try {
        mpCm.close();
    } catch (const ui::MediaError&) {
        // A player that will not close is left to the system.
    }
    if (cutShort) {
        // The clip did not reach its end, so no wait counts it: its time on
        // screen and its clicks are saved here.
        const std::uint32_t now = platform::SystemClock().TickCount();
        Ad.AdData.DisplayMs += static_cast<std::uint32_t>(now - Ad.AdStartTick.load(std::memory_order_acquire));
        Ad.TakeClicks();
        Ad.AdData.SaveWithClip(Ad.AdFile);
    }
}

void TfrmMain::StartAdvertisement() {
    if (!mpCm.fileName().empty() || adPlaying_ || !Ad.AdIdle.load(std::memory_order_acquire)) StopAdvertisement();
    // The window may have begun to close while it waited.
    if (destroyed_ || context_.Ending()) return;

    const std::vector<std::string> folders = FindAdvertisementFolders();
    if (folders.empty()) return;
    const std::string& folder = folders[static_cast<std::size_t>(std::rand()) % folders.size()];
    Ad.AdFile = context_.ProgramFolder() + folder + "\\Zelkova.cm";
    // Clicks that arrived while no advertisement was shown count for none.
    Ad.TakeClicks();

    const std::string clip = context_.ProgramFolder() + "CM.AVI";
    bool playing = false;
    if (Ad.AdData.LoadWithClip(Ad.AdFile, clip) == TCMData::kLoaded) {
        mpCm.setFileName(Ad.AdData.ClipPath);
        adLinks_.clear();
        for (int i = 1; i <= Ad.AdData.Links(); ++i) adLinks_.push_back(Ad.AdData.Link(i));
        if (adLinks_.empty()) {
            Panel1.setCursor(ui::Cursor::Default);
            Panel1.OnClick = nullptr;
        } else {
            Panel1.setCursor(ui::Cursor::Hand);
            Panel1.OnClick = [this] { AdvertisementClick(); };
        }
        try {
            mpCm.setDisplay(&Panel1);
            mpCm.setDisplayRect({0, 0, Panel1.width(), Panel1.height()});
            mpCm.open();
            Ad.AdStopRequested.store(false, std::memory_order_release);
            Ad.AdStartTick.store(platform::SystemClock().TickCount(), std::memory_order_release);
            mpCm.setNotify(true);
            mpCm.play();
            adPlaying_ = true;
            playing = true;
        } catch (const ui::MediaError&) {
            // A clip the system cannot play: the advertisement goes below.
        }
    }
    if (playing) return;

    // The advertisement cannot be shown: it is thrown away and the strip
    // stays empty.
    try {
        mpCm.close();
    } catch (const ui::MediaError&) {
    }
    mpCm.setFileName("");
    Panel1.setCursor(ui::Cursor::Default);
    Panel1.OnClick = nullptr;
    adLinks_.clear();
    Ad.AdData.ClipPath.clear();
    if (platform::FileExists(clip)) platform::DeleteFileAt(clip);
    if (platform::FileExists(Ad.AdFile)) platform::DeleteFileAt(Ad.AdFile);
}

void TfrmMain::mpCmNotify() {
    // Only the end of the clip now playing starts its wait; a clip closed by
    // the window itself, or one that ends while the window stops it, has
    // none.
    if (!adPlaying_ || Ad.AdStopRequested.load(std::memory_order_acquire)) return;
    const ui::NotifyValue how = mpCm.notifyValue();
    if (how == ui::NotifyValue::Aborted || how == ui::NotifyValue::Superseded) return;
    adPlaying_ = false;

    CmThreadHooks hooks;
    hooks.TickCount = [] { return platform::SystemClock().TickCount(); };
    hooks.Sleep = [](std::uint32_t milliseconds) { platform::SystemClock().Sleep(milliseconds); };
    hooks.Synchronize = [target = ui::UiTarget::Of(*this)](const std::function<void()>& work) {
        return target.send(work);
    };
    hooks.ClosePlayer = [this] {
        try {
            mpCm.close();
        } catch (const ui::MediaError&) {
        }
    };
    hooks.StartAdvertisement = [this] { StartAdvertisement(); };
    TCmThread::Start(Ad, std::move(hooks));
}

void TfrmMain::AdvertisementClick() {
    const int n = static_cast<int>(adLinks_.size());
    if (n <= 0) return;
    const int r = std::rand() % n;
    Ad.AddClick();
    // Addresses come with the advertisement from the network: only web
    // pages are opened, never a program or a document.
    const std::string& address = adLinks_[static_cast<std::size_t>(r)];
    if (!MayOpenAdvertisementLink(address)) return;
    platform::SystemShell().Open(address, "", "", true, nfile().OwnerWindow);
}

}  // namespace kumoya
