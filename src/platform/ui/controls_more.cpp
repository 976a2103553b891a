#include "platform/ui/controls_more.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "platform/files.h"
#include "platform/ui/image_list.h"

namespace kumoya::ui {

// ---- Bitmap ----

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

const std::vector<std::uint8_t>& NoBytes() {
    static const std::vector<std::uint8_t> none;
    return none;
}

}  // namespace

Bitmap Bitmap::FromFile(std::string_view path) {
    auto bytes = platform::ReadFileBytes(path);
    if (!bytes) return Bitmap();
    return FromBytes(std::vector<std::uint8_t>(bytes->begin(), bytes->end()), std::string(path));
}

Bitmap Bitmap::FromBytes(std::vector<std::uint8_t> bytes, std::string source) {
    // File header (14 bytes), then an information header of its own size:
    // 12 bytes in the old form (16-bit sizes), 40 or more in the others.
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return Bitmap();
    std::uint32_t dataOffset = Le32(bytes, 10);
    std::uint32_t headerSize = Le32(bytes, 14);
    long long width = 0, height = 0;
    if (headerSize == 12) {
        width = Le16(bytes, 18);
        height = Le16(bytes, 20);
    } else if (headerSize >= 40 && bytes.size() >= 14 + 40) {
        width = static_cast<std::int32_t>(Le32(bytes, 18));
        height = static_cast<std::int32_t>(Le32(bytes, 22));
        if (height < 0) height = -height;  // stored top-down
    } else {
        return Bitmap();
    }
    if (14ULL + headerSize > bytes.size() || dataOffset > bytes.size() || width <= 0 || height <= 0 ||
        width > 32767 || height > 32767) {
        return Bitmap();
    }
    Bitmap b;
    b.width_ = static_cast<int>(width);
    b.height_ = static_cast<int>(height);
    b.source_ = std::move(source);
    b.bytes_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    return b;
}

Bitmap Bitmap::FromResource(std::string name, int width, int height) {
    Bitmap b;
    if (name.empty() || width <= 0 || height <= 0) return b;
    b.source_ = std::move(name);
    b.resource_ = true;
    b.width_ = width;
    b.height_ = height;
    return b;
}

const std::vector<std::uint8_t>& Bitmap::bytes() const { return bytes_ ? *bytes_ : NoBytes(); }

bool Bitmap::operator==(const Bitmap& other) const {
    return width_ == other.width_ && height_ == other.height_ && resource_ == other.resource_ &&
           source_ == other.source_ && bytes() == other.bytes();
}

// ---- Image (bitmaps) ----

void Image::setPicture(Bitmap bitmap) {
    picture_ = std::move(bitmap);
    changed(Prop::Picture);
}

void Image::setStretch(bool value) {
    if (value == stretch_) return;
    stretch_ = value;
    changed(Prop::Picture);
}

void Image::draw(int x, int y, const Bitmap& bitmap) {
    if (bitmap.empty()) return;
    drawings_.push_back({x, y, bitmap});
    changed(Prop::Picture);
}

void Image::tile(const Bitmap& bitmap) {
    if (bitmap.empty()) return;
    // Columns and rows 0 .. size / tile size, both ends included, so the
    // last ones are cut by the edge rather than left out.
    for (int i = 0; i <= width() / bitmap.width(); ++i) {
        for (int j = 0; j <= height() / bitmap.height(); ++j) {
            drawings_.push_back({i * bitmap.width(), j * bitmap.height(), bitmap});
        }
    }
    changed(Prop::Picture);
}

void Image::clearDrawings() {
    if (drawings_.empty()) return;
    drawings_.clear();
    changed(Prop::Picture);
}

bool Image::hasBitmaps() const { return !picture_.empty() || !drawings_.empty(); }

// ---- ListView check boxes ----

bool ListView::itemChecked(int index) const {
    return index >= 0 && index < itemCount() && items_[static_cast<std::size_t>(index)].checked;
}

void ListView::setItemChecked(int index, bool checked) {
    if (index < 0 || index >= itemCount() || items_[static_cast<std::size_t>(index)].checked == checked) return;
    items_[static_cast<std::size_t>(index)].checked = checked;
    changed(Prop::Checked);
    if (OnChange) OnChange(index);
}

void ListView::userSetChecked(int index, bool checked) {
    // The native list has already drawn the new state; the model follows and
    // tells the handler, as a programmatic change would.
    setItemChecked(index, checked);
}

// ---- Memo ----

std::vector<std::string> Memo::lines() const {
    std::vector<std::string> out;
    const std::string& t = text();
    std::size_t start = 0;
    while (start < t.size()) {
        std::size_t lf = t.find('\n', start);
        if (lf == std::string::npos) {
            out.push_back(t.substr(start));
            break;
        }
        std::size_t end = (lf > start && t[lf - 1] == '\r') ? lf - 1 : lf;
        out.push_back(t.substr(start, end - start));
        start = lf + 1;
    }
    return out;
}

void Memo::setLines(const std::vector<std::string>& lines) {
    std::string t;
    for (const std::string& line : lines) {
        t += line;
        t += "\r\n";
    }
    setText(std::move(t));
}

void Memo::addLine(const std::string& line) {
    std::string t = text();
    if (!t.empty() && t.back() != '\n') t += "\r\n";
    t += line;
    t += "\r\n";
    setText(std::move(t));
}

// ---- RadioGroup ----

void RadioGroup::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    if (itemIndex_ >= itemCount()) itemIndex_ = -1;
    changed(Prop::Items);
}

void RadioGroup::addItem(std::string item) {
    items_.push_back(std::move(item));
    changed(Prop::Items);
}

void RadioGroup::setColumns(int columns) {
    columns = std::max(1, columns);
    if (columns == columns_) return;
    columns_ = columns;
    changed(Prop::Items);
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= itemCount()) index = -1;
    if (index == itemIndex_) return;
    itemIndex_ = index;
    changed(Prop::Selection);
}

void RadioGroup::userSelect(int index) {
    if (index < 0 || index >= itemCount()) return;
    if (index != itemIndex_) {
        itemIndex_ = index;
        changed(Prop::Selection);
    }
    if (OnClick) OnClick();
}

// ---- CheckListBox ----

std::vector<std::string> CheckListBox::items() const {
    std::vector<std::string> out;
    out.reserve(items_.size());
    for (const Entry& e : items_) out.push_back(e.text);
    return out;
}

void CheckListBox::setItems(std::vector<std::string> items) {
    items_.clear();
    for (std::string& text : items) items_.push_back({std::move(text), false});
    itemIndex_ = -1;
    changed(Prop::Items);
}

int CheckListBox::addItem(std::string text, bool checked) {
    items_.push_back({std::move(text), checked});
    changed(Prop::Items);
    return itemCount() - 1;
}

void CheckListBox::deleteItem(int index) {
    if (index < 0 || index >= itemCount()) return;
    items_.erase(items_.begin() + index);
    if (itemIndex_ == index) {
        itemIndex_ = -1;
    } else if (itemIndex_ > index) {
        --itemIndex_;
    }
    changed(Prop::Items);
}

void CheckListBox::clearItems() {
    items_.clear();
    itemIndex_ = -1;
    changed(Prop::Items);
}

int CheckListBox::indexOf(const std::string& text) const {
    for (int i = 0; i < itemCount(); ++i) {
        if (items_[static_cast<std::size_t>(i)].text == text) return i;
    }
    return -1;
}

void CheckListBox::sort() {
    const std::string* highlighted = itemIndex_ >= 0 ? &items_[static_cast<std::size_t>(itemIndex_)].text : nullptr;
    std::string keep = highlighted ? *highlighted : std::string();
    std::stable_sort(items_.begin(), items_.end(), [](const Entry& a, const Entry& b) { return a.text < b.text; });
    if (highlighted) itemIndex_ = indexOf(keep);
    changed(Prop::Items);
}

bool CheckListBox::checked(int index) const {
    return index >= 0 && index < itemCount() && items_[static_cast<std::size_t>(index)].checked;
}

void CheckListBox::setChecked(int index, bool checked) {
    if (index < 0 || index >= itemCount() || items_[static_cast<std::size_t>(index)].checked == checked) return;
    items_[static_cast<std::size_t>(index)].checked = checked;
    changed(Prop::Checked);
}

bool CheckListBox::allChecked() const {
    return std::all_of(items_.begin(), items_.end(), [](const Entry& e) { return e.checked; });
}

void CheckListBox::setItemIndex(int index) {
    if (index < -1 || index >= itemCount()) index = -1;
    if (index == itemIndex_) return;
    itemIndex_ = index;
    changed(Prop::Selection);
}

void CheckListBox::userSetChecked(int index, bool checked) {
    if (index < 0 || index >= itemCount() || items_[static_cast<std::size_t>(index)].checked == checked) return;
    items_[static_cast<std::size_t>(index)].checked = checked;
    changed(Prop::Checked);
    if (OnClickCheck) OnClickCheck();
}

void CheckListBox::userSelect(int index) {
    if (index < 0 || index >= itemCount()) return;
    if (index != itemIndex_) {
        itemIndex_ = index;
        changed(Prop::Selection);
    }
    if (OnClick) OnClick();
}

// ---- UpDown ----

void UpDown::setAssociate(Edit* edit) {
    associate_ = edit;
    changed(Prop::Options);
    if (associate_) associate_->setText(std::to_string(position_));
}

void UpDown::setRange(int min, int max) {
    if (max < min) std::swap(min, max);
    min_ = min;
    max_ = max;
    changed(Prop::Range);
    setPosition(position_);
}

void UpDown::setPosition(int position) {
    position = std::clamp(position, min_, max_);
    if (position == position_) {
        // The edit may show something else (typed by the user): the
        // position shows again, as the system's arrows do.
        if (associate_) associate_->setText(std::to_string(position_));
        return;
    }
    position_ = position;
    changed(Prop::Position);
    if (associate_) associate_->setText(std::to_string(position_));
    if (OnChange) OnChange();
}

void UpDown::userStep(bool up) {
    long long base = position_;
    if (associate_) {
        const std::string& t = associate_->text();
        std::size_t b = t.find_first_not_of(' ');
        std::size_t e = t.find_last_not_of(' ');
        if (b != std::string::npos) {
            long long typed = 0;
            auto [ptr, ec] = std::from_chars(t.data() + b, t.data() + e + 1, typed);
            if (ec == std::errc() && ptr == t.data() + e + 1) base = std::clamp<long long>(typed, min_, max_);
        }
    }
    long long next = base + (up ? increment_ : -static_cast<long long>(increment_));
    if (next > max_) next = wrap_ ? min_ : max_;
    if (next < min_) next = wrap_ ? max_ : min_;
    if (static_cast<int>(next) == position_) {
        if (associate_) associate_->setText(std::to_string(position_));
        return;
    }
    setPosition(static_cast<int>(next));
}

// ---- ProgressBar ----

void ProgressBar::setRange(int min, int max) {
    if (max < min) std::swap(min, max);
    min_ = min;
    max_ = max;
    changed(Prop::Range);
    setPosition(position_);
}

void ProgressBar::setPosition(int position) {
    position = std::clamp(position, min_, max_);
    if (position == position_) return;
    position_ = position;
    changed(Prop::Position);
}

// ---- Animate ----

void Animate::setCommonAvi(CommonAvi avi) {
    if (avi == commonAvi_) return;
    commonAvi_ = avi;
    changed(Prop::Picture);
}

void Animate::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    changed(Prop::Active);
}

// ---- SpeedButton ----

void SpeedButton::setGlyph(Bitmap bitmap) {
    glyph_ = std::move(bitmap);
    glyphImages_ = nullptr;
    glyphIndex_ = -1;
    changed(Prop::Picture);
}

void SpeedButton::setGlyph(const ImageList& images, int index) {
    glyph_ = Bitmap();
    glyphImages_ = &images;
    glyphIndex_ = index;
    changed(Prop::Picture);
}

void SpeedButton::clearGlyph() { setGlyph(Bitmap()); }

void SpeedButton::userClick() {
    if (OnClick) OnClick();
}

// ---- Splitter ----

void Splitter::setControls(Control& before, Control& after) {
    before_ = &before;
    after_ = &after;
}

int Splitter::userMoveTo(int position) {
    const bool vertical = orientation_ == Orientation::Vertical;
    const int here = vertical ? left() : top();
    if (!before_ || !after_) return here;
    const int start = vertical ? before_->left() : before_->top();
    const int thickness = vertical ? width() : height();
    const int end = vertical ? after_->left() + after_->width() : after_->top() + after_->height();
    // Room for both sides at their least; when there is not, the first side
    // keeps its least.
    int lowest = start + minSize_;
    int highest = end - minSize_ - thickness;
    position = std::clamp(position, lowest, std::max(lowest, highest));
    if (position == here) return here;
    if (vertical) {
        before_->setBounds(before_->left(), before_->top(), position - start, before_->height());
        setBounds(position, top(), width(), height());
        after_->setBounds(position + thickness, after_->top(), end - position - thickness, after_->height());
    } else {
        before_->setBounds(before_->left(), before_->top(), before_->width(), position - start);
        setBounds(left(), position, width(), height());
        after_->setBounds(after_->left(), position + thickness, after_->width(), end - position - thickness);
    }
    if (OnMoved) OnMoved();
    return position;
}

// ---- MediaPlayer ----

MediaPlayer::~MediaPlayer() {
    // The peer closes the device; it goes while the model is still whole.
    dropPeer();
}

MediaPeer& MediaPlayer::device() {
    if (!peer()) realize(Backend());
    auto* media = dynamic_cast<MediaPeer*>(peer());
    if (!media) throw MediaError("media player: no media device");
    return *media;
}

void MediaPlayer::setDisplayRect(Rect rect) {
    if (rect == displayRect_) return;
    displayRect_ = rect;
    changed(Prop::Bounds);
}

void MediaPlayer::open() {
    MediaPeer& d = device();
    if (open_) d.close();
    open_ = false;
    d.open();
    open_ = true;
}

void MediaPlayer::play() {
    if (!open_) throw MediaError("media player: play without an open device");
    bool wanted = notify_;
    notify_ = false;
    device().play(wanted);
}

void MediaPlayer::stop() {
    if (!open_) throw MediaError("media player: stop without an open device");
    device().stop();
}

void MediaPlayer::close() {
    if (!open_) return;
    open_ = false;
    device().close();
}

int MediaPlayer::length() {
    if (!open_) throw MediaError("media player: length without an open device");
    return device().length();
}

bool MediaPlayer::playing() { return open_ && device().playing(); }

void MediaPlayer::deviceNotify(NotifyValue value) {
    notifyValue_ = value;
    if (OnNotify) OnNotify();
}

}  // namespace kumoya::ui
