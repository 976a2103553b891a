// The controls of the wizard, the registration, settings, mail and update
// windows: memo, check-list box, up-down, radio group, group box, progress
// bar, animation, speed button, splitter and media player, with the bitmaps
// that images and speed buttons show.
//
// The event rule (see docs/ARCHITECTURE.md): a value setter raises the
// control's change event when the value really changes (check box, edit and
// memo text, up-down position, list-view item check state); selection
// setters (combo box, list view, page control, check-list box highlight,
// radio group) and everything else never do. User actions always do.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/bitmap.h"
#include "platform/ui/controls.h"

namespace kumoya::ui {

class ImageList;

// A multi-line edit. Its text is caption(), lines separated by CR LF.
class Memo : public Edit {
public:
    enum class ScrollBars { None, Horizontal, Vertical, Both };

    explicit Memo(Container& parent) : Edit(parent) { setBounds(0, 0, 185, 89); }

    ScrollBars scrollBars() const { return scrollBars_; }
    void setScrollBars(ScrollBars value) { scrollBars_ = value; }
    // Long lines wrap at the right edge (ignored with a horizontal scroll bar).
    bool wordWrap() const { return wordWrap_; }
    void setWordWrap(bool value) { wordWrap_ = value; }

    // The text split at line breaks (CR LF, or a lone LF); a final line
    // break does not start another line.
    std::vector<std::string> lines() const;
    // Replaces the text by these lines, each ended by CR LF. Raises OnChange
    // when the text changes, as setText does.
    void setLines(const std::vector<std::string>& lines);
    // Appends one line (the text gets a line break first if it does not end
    // in one). Raises OnChange.
    void addLine(const std::string& line);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    ScrollBars scrollBars_ = ScrollBars::None;
    bool wordWrap_ = true;
};

// A framed, captioned container for other controls.
class GroupBox : public Container {
public:
    explicit GroupBox(Container& parent) : Container(&parent) { setBounds(0, 0, 185, 105); }

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }
};

// A framed group of radio buttons; caption() is the frame's title.
class RadioGroup : public Control {
public:
    explicit RadioGroup(Container& parent) : Control(&parent) { setBounds(0, 0, 185, 105); }

    const std::vector<std::string>& items() const { return items_; }
    int itemCount() const { return static_cast<int>(items_.size()); }
    void setItems(std::vector<std::string> items);
    void addItem(std::string item);
    // Columns the buttons are laid out in (1 or more).
    int columns() const { return columns_; }
    void setColumns(int columns);
    // The chosen button, -1 for none. Setting it never fires OnClick.
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);

    // The user chose a button (also when it was chosen already).
    std::function<void()> OnClick;
    void userSelect(int index);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    std::vector<std::string> items_;
    int columns_ = 1;
    int itemIndex_ = -1;
};

// A list whose items carry a check mark each. The highlighted item
// (itemIndex) is separate from the marks.
class CheckListBox : public Control {
public:
    explicit CheckListBox(Container& parent) : Control(&parent) { setBounds(0, 0, 121, 97); }

    int itemCount() const { return static_cast<int>(items_.size()); }
    const std::string& item(int index) const { return items_.at(static_cast<std::size_t>(index)).text; }
    std::vector<std::string> items() const;
    // Replaces the items; all unmarked.
    void setItems(std::vector<std::string> items);
    int addItem(std::string text, bool checked = false);
    void deleteItem(int index);
    void clearItems();
    // Position of the first item equal to `text`, or -1.
    int indexOf(const std::string& text) const;
    // Sorts the items by their bytes, marks moving with their items.
    void sort();

    // The mark of an item (false outside the list). Setting it never fires
    // OnClickCheck: the window code that marks items programmatically (a
    // program's categories loaded, check-all) does its own bookkeeping.
    bool checked(int index) const;
    void setChecked(int index, bool checked);
    // True when every item is marked (also for an empty list).
    bool allChecked() const;

    // The highlighted item, -1 for none. Setting it never fires OnClick.
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);

    // The user marked or cleared an item (after the mark changed).
    std::function<void()> OnClickCheck;
    // The user highlighted an item.
    std::function<void()> OnClick;
    void userSetChecked(int index, bool checked);
    void userToggle(int index) { userSetChecked(index, !checked(index)); }
    void userSelect(int index);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    struct Entry {
        std::string text;
        bool checked = false;
    };
    std::vector<Entry> items_;
    int itemIndex_ = -1;
};

// Arrows bound to an edit: the edit shows the position as a decimal number.
class UpDown : public Control {
public:
    explicit UpDown(Container& parent) : Control(&parent) { setBounds(0, 0, 15, 21); }

    // The edit that shows the position (null for none); it is given the
    // position's text at once.
    Edit* associate() const { return associate_; }
    void setAssociate(Edit* edit);
    int min() const { return min_; }
    int max() const { return max_; }
    void setRange(int min, int max);
    int increment() const { return increment_; }
    void setIncrement(int step) { increment_ = step > 0 ? step : 1; }
    // Past an end the arrows go round to the other end instead of stopping.
    bool wrap() const { return wrap_; }
    void setWrap(bool value) { wrap_ = value; }

    int position() const { return position_; }
    // Clamped to the range. When it changes, the associated edit's text is
    // set (raising the edit's OnChange when the text changes) and OnChange
    // fires.
    void setPosition(int position);

    std::function<void()> OnChange;
    // The user pressed an arrow (or the arrow keys in the edit). The step
    // starts from the number in the edit when it holds one, as the arrows
    // of the system do.
    void userStep(bool up);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Edit* associate_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
    bool wrap_ = false;
    int position_ = 0;
};

class ProgressBar : public Control {
public:
    explicit ProgressBar(Container& parent) : Control(&parent) { setBounds(0, 0, 150, 16); }

    int min() const { return min_; }
    int max() const { return max_; }
    void setRange(int min, int max);
    int position() const { return position_; }
    // Clamped to the range.
    void setPosition(int position);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

// One of the system's standard animations. A system that lacks it shows
// nothing in its place.
class Animate : public Control {
public:
    enum class CommonAvi { None, FileCopy, FileDelete, FindFile, EmptyRecycle };

    explicit Animate(Container& parent) : Control(&parent) { setBounds(0, 0, 272, 60); }

    CommonAvi commonAvi() const { return commonAvi_; }
    void setCommonAvi(CommonAvi avi);
    // Playing (repeatedly) while active.
    bool active() const { return active_; }
    void setActive(bool active);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    CommonAvi commonAvi_ = CommonAvi::None;
    bool active_ = false;
};

// A flat button showing a picture (its glyph); it never takes the focus.
class SpeedButton : public Control {
public:
    explicit SpeedButton(Container& parent) : Control(&parent) { setBounds(0, 0, 23, 22); }

    // The glyph: a bitmap, or an image of an image list (which must outlive
    // the button). Setting one clears the other.
    const Bitmap& glyph() const { return glyph_; }
    void setGlyph(Bitmap bitmap);
    const ImageList* glyphImages() const { return glyphImages_; }
    int glyphIndex() const { return glyphIndex_; }
    void setGlyph(const ImageList& images, int index);
    void clearGlyph();
    bool flat() const { return flat_; }
    void setFlat(bool value) { flat_ = value; }

    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Bitmap glyph_;
    const ImageList* glyphImages_ = nullptr;
    int glyphIndex_ = -1;
    bool flat_ = false;
};

// A bar between two controls of the same container that the user drags to
// share the room between them. Vertical: a bar between a left and a right
// control, changing their widths; horizontal: between a top and a bottom
// one, changing their heights.
class Splitter : public Control {
public:
    enum class Orientation { Vertical, Horizontal };

    explicit Splitter(Container& parent) : Control(&parent) { setBounds(0, 0, 3, 100); }

    Orientation orientation() const { return orientation_; }
    void setOrientation(Orientation value) { orientation_ = value; }
    // The controls on either side (left/top first).
    void setControls(Control& before, Control& after);
    Control* before() const { return before_; }
    Control* after() const { return after_; }
    // Neither side becomes smaller than this (96-DPI pixels).
    int minSize() const { return minSize_; }
    void setMinSize(int pixels) { minSize_ = pixels < 0 ? 0 : pixels; }

    // Fires after the user moved the bar.
    std::function<void()> OnMoved;
    // The user dragged the bar to `position` (its new left, or top, in the
    // container). Answers where it ended up after the limits.
    int userMoveTo(int position);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Orientation orientation_ = Orientation::Vertical;
    Control* before_ = nullptr;
    Control* after_ = nullptr;
    int minSize_ = 30;
};

// A media player failed (no device, no file, a format the system cannot
// play); the text names the command and the system's reason.
class MediaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class NotifyValue { Successful, Superseded, Aborted, Failure };

// What a media player's peer does: the Win32 one drives the system's media
// control interface, the headless one is a double that "plays" for a set
// time (see headless_more.h).
class MediaPeer : public Peer {
public:
    virtual void open() = 0;
    virtual void play(bool notify) = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
    // Length of the open clip in milliseconds.
    virtual int length() = 0;
    virtual bool playing() = 0;
};

// Plays video and sound files, showing video in the display control. Not
// visible itself. The commands throw MediaError when they fail.
class MediaPlayer : public Control {
public:
    explicit MediaPlayer(Container& parent) : Control(&parent) { setVisible(false); }
    ~MediaPlayer() override;

    const std::string& fileName() const { return fileName_; }
    void setFileName(std::string path) { fileName_ = std::move(path); }
    // Where video shows, and the part of it (in the display's 96-DPI client
    // coordinates; an empty rectangle uses the whole client area).
    Control* display() const { return display_; }
    void setDisplay(Control* control) { display_ = control; }
    struct Rect {
        int left = 0, top = 0, width = 0, height = 0;
        bool operator==(const Rect&) const = default;
    };
    Rect displayRect() const { return displayRect_; }
    void setDisplayRect(Rect rect);
    // The next play() reports its end through OnNotify.
    bool notify() const { return notify_; }
    void setNotify(bool value) { notify_ = value; }

    bool isOpen() const { return open_; }
    void open();
    // Plays from the current position; with notify() set, OnNotify fires
    // when playing ends (and notify() is cleared: it serves one play).
    void play();
    void stop();
    // Closes the device; a no-op when not open.
    void close();
    int length();
    bool playing();

    // The result of the last notified command.
    NotifyValue notifyValue() const { return notifyValue_; }
    std::function<void()> OnNotify;
    // The system reports the end of a notified command (the peer calls it
    // from the message loop).
    void deviceNotify(NotifyValue value);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    MediaPeer& device();

    std::string fileName_;
    Control* display_ = nullptr;
    Rect displayRect_;
    bool notify_ = false;
    bool open_ = false;
    NotifyValue notifyValue_ = NotifyValue::Successful;
};

}  // namespace kumoya::ui
