#include "platform/ui/headless_more.h"

#include <stdexcept>

#include "platform/files.h"

namespace kumoya::ui {

namespace {

void Reach(const Control& control, const char* what) {
    if (!control.reachable()) {
        throw std::logic_error(std::string("headless: ") + what + " \"" + control.caption() +
                               "\" is hidden or disabled; a user could not reach it");
    }
}

}  // namespace

MediaDouble::MediaDouble(UiBackend& backend, MediaPlayer& player) : backend_(backend), player_(player) {}

MediaDouble::~MediaDouble() { *alive_ = false; }

void MediaDouble::post(NotifyValue value) {
    std::weak_ptr<bool> alive = alive_;
    MediaPlayer* player = &player_;
    backend_.post([alive, player, value] {
        if (auto a = alive.lock(); a && *a) player->deviceNotify(value);
    });
}

void MediaDouble::interrupt(NotifyValue why) {
    if (notifyPending_) {
        notifyPending_ = false;
        post(why);
    }
    playing_ = false;
}

void MediaDouble::open() {
    if (opened_) close();
    if (failNextOpen_) {
        failNextOpen_ = false;
        throw MediaError("open: the system cannot play \"" + player_.fileName() + "\"");
    }
    if (player_.fileName().empty() || !platform::FileExists(player_.fileName())) {
        throw MediaError("open: no file \"" + player_.fileName() + "\"");
    }
    opened_ = true;
    position_ = 0;
    ++opens_;
    openedFile_ = player_.fileName();
}

void MediaDouble::play(bool notify) {
    if (!opened_) throw MediaError("play: the device is not open");
    // A newer notified command supersedes the waiting one; one without
    // notify aborts it.
    interrupt(notify ? NotifyValue::Superseded : NotifyValue::Aborted);
    ++plays_;
    if (position_ >= length_) position_ = 0;  // played to the end: from the start again
    playing_ = true;
    notifyPending_ = notify;
    if (length_ == 0) elapse(0);
}

void MediaDouble::stop() {
    if (!opened_) throw MediaError("stop: the device is not open");
    interrupt(NotifyValue::Aborted);
}

void MediaDouble::close() {
    if (!opened_) return;
    // A closed device reports nothing more, as the system's players do not.
    notifyPending_ = false;
    playing_ = false;
    opened_ = false;
    position_ = 0;
}

void MediaDouble::elapse(int milliseconds) {
    if (!playing_) return;
    position_ += milliseconds < 0 ? 0 : milliseconds;
    if (position_ < length_) return;
    position_ = length_;
    playing_ = false;
    if (notifyPending_) {
        notifyPending_ = false;
        post(NotifyValue::Successful);
    }
}

std::unique_ptr<Peer> HeadlessBackend::createPeer(MediaPlayer& player) {
    return std::make_unique<MediaDouble>(*this, player);
}

MediaDouble& HeadlessMedia(MediaPlayer& player) {
    if (!player.peer()) player.realize(Backend());
    auto* media = dynamic_cast<MediaDouble*>(player.peer());
    if (!media) throw std::logic_error("headless: the media player has no headless double");
    return *media;
}

void Click(SpeedButton& button) {
    Reach(button, "speed button");
    button.userClick();
}

void ClickArrow(UpDown& arrows, bool up) {
    Reach(arrows, "up-down");
    arrows.userStep(up);
}

void Choose(RadioGroup& group, int index) {
    Reach(group, "radio group");
    if (index < 0 || index >= group.itemCount()) throw std::logic_error("headless: no such radio button");
    group.userSelect(index);
}

void ToggleCheck(CheckListBox& list, int index) {
    Reach(list, "check list");
    if (index < 0 || index >= list.itemCount()) throw std::logic_error("headless: no such check-list item");
    list.userToggle(index);
}

void Select(CheckListBox& list, int index) {
    Reach(list, "check list");
    if (index < 0 || index >= list.itemCount()) throw std::logic_error("headless: no such check-list item");
    list.userSelect(index);
}

void ToggleCheck(ListView& list, int index) {
    Reach(list, "list view");
    if (!list.checkBoxes()) throw std::logic_error("headless: the list view has no check boxes");
    if (index < 0 || index >= list.itemCount()) throw std::logic_error("headless: no such list item");
    list.userSetChecked(index, !list.itemChecked(index));
}

void Drag(Splitter& bar, int position) {
    Reach(bar, "splitter");
    bar.userMoveTo(position);
}

}  // namespace kumoya::ui
