// Acting as the user on the controls of controls_more.h, and the headless
// media player: a double that "plays" a clip for a set time that the test
// lets pass.
//
//   ui::MediaDouble& clip = ui::HeadlessMedia(mpCm);
//   clip.setLength(12500);
//   ... the window opens and plays with notify ...
//   clip.elapse(12500);           // the end is reached: OnNotify is queued
//   ui->processMessages();        // ... and fires here, as from the loop
//
// Like the helpers of headless.h, these throw std::logic_error when the
// control is out of the user's reach.
#pragma once

#include <memory>

#include "platform/ui/controls_more.h"
#include "platform/ui/headless.h"

namespace kumoya::ui {

class MediaDouble : public MediaPeer {
public:
    MediaDouble(UiBackend& backend, MediaPlayer& player);
    ~MediaDouble() override;

    // ---- the script ----
    // Length of every clip this player opens (1000 ms unless set).
    void setLength(int milliseconds) { length_ = milliseconds < 0 ? 0 : milliseconds; }
    // The next open fails as for a file the system cannot play.
    void failNextOpen() { failNextOpen_ = true; }
    // Time passes while playing; reaching the end stops the clip and, for a
    // notified play, queues OnNotify (Successful).
    void elapse(int milliseconds);

    // ---- what happened ----
    int position() const { return position_; }
    int opens() const { return opens_; }
    int plays() const { return plays_; }
    const std::string& openedFile() const { return openedFile_; }

    // ---- MediaPeer ----
    void update(Prop) override {}
    void open() override;
    void play(bool notify) override;
    void stop() override;
    void close() override;
    int length() override { return length_; }
    bool playing() override { return playing_; }

private:
    void post(NotifyValue value);
    // A notified play that has not reported yet is ended by another command.
    void interrupt(NotifyValue why);

    UiBackend& backend_;
    MediaPlayer& player_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int length_ = 1000;
    int position_ = 0;
    bool opened_ = false;
    bool playing_ = false;
    bool notifyPending_ = false;
    bool failNextOpen_ = false;
    int opens_ = 0;
    int plays_ = 0;
    std::string openedFile_;
};

// The double behind a player (it is created if the player has no peer yet).
MediaDouble& HeadlessMedia(MediaPlayer& player);

void Click(SpeedButton& button);
// Presses an arrow of the up-down.
void ClickArrow(UpDown& arrows, bool up);
// Chooses a radio button.
void Choose(RadioGroup& group, int index);
// Clicks an item's check mark / highlights an item.
void ToggleCheck(CheckListBox& list, int index);
void Select(CheckListBox& list, int index);
// Clicks an item's check box in a list view with check boxes.
void ToggleCheck(ListView& list, int index);
// Drags the splitter to a position.
void Drag(Splitter& bar, int position);

}  // namespace kumoya::ui
