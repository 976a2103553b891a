#include "platform/ui/control.h"

#include <stdexcept>

#include <algorithm>

#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"

namespace kumoya::ui {

Control::Control(Container* parent) : parent_(parent) {
    if (parent_) parent_->attach(this);
}

Control::~Control() {
    if (parent_) {
        if (Form* f = parent_->form(); f && f->focused_ == this) f->focused_ = nullptr;
    }
    peer_.reset();
    if (parent_) parent_->detach(this);
}

Form* Control::form() {
    for (Control* c = this; c; c = c->parent_) {
        if (auto* f = dynamic_cast<Form*>(c)) return f;
    }
    return nullptr;
}

void Control::setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    changed(Prop::Caption);
}

void Control::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    changed(Prop::Enabled);
}

void Control::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    changed(Prop::Visible);
}

bool Control::reachable() const {
    for (const Control* c = this; c; c = c->parent_) {
        if (!c->visible_ || !c->enabled_) return false;
    }
    return true;
}

void Control::setBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    changed(Prop::Bounds);
}

const Font& Control::font() const {
    static const Font standard;
    for (const Control* c = this; c; c = c->parent_) {
        if (c->ownFont_) return *c->ownFont_;
    }
    return standard;
}

void Control::setFont(Font font) {
    ownFont_ = std::make_unique<Font>(std::move(font));
    changed(Prop::Font);
}

void Control::setColor(int color) {
    if (color == color_) return;
    color_ = color;
    changed(Prop::Color);
}

void Control::setCursor(Cursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    changed(Prop::Cursor);
}

void Control::assignCaption(std::string caption) { caption_ = std::move(caption); }

void Control::setFocus() {
    if (Form* f = form()) f->focused_ = this;
    if (peer_) peer_->focus();
}

void Control::realize(UiBackend& backend) {
    created_ = true;
    if (!peer_) peer_ = makePeer(backend);
}

void Control::requireUncreated(const char* property, bool changes) const {
    if (created_ && changes)
        throw std::logic_error(std::string(property) + " takes effect only before the window is shown");
}

Container::~Container() { releaseOwned(); }

void Container::releaseOwned() {
    // Last first, so that later controls that refer to earlier ones go first.
    while (!owned_.empty()) owned_.pop_back();
}

void Container::realize(UiBackend& backend) {
    Control::realize(backend);
    // A copy: a peer may not change the list, but a child's realisation
    // must not be disturbed by one that does.
    const std::vector<Control*> children = children_;
    for (Control* child : children) child->realize(backend);
}

void Container::attach(Control* child) { children_.push_back(child); }

void Container::detach(Control* child) {
    std::erase(children_, child);
    childrenChanged();
}

// ---- controls ----

void Button::userClick() {
    if (modalResult_ != DialogResult::None) {
        if (Form* f = form()) f->setModalResult(modalResult_);
    }
    if (OnClick) OnClick();
}

void Image::setIcon(platform::Icon icon) {
    icon_ = std::move(icon);
    changed(Prop::Picture);
}

void Panel::userClick() {
    if (OnClick) OnClick();
}

void Image::userClick() {
    if (OnClick) OnClick();
}

void CheckBox::setChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    changed(Prop::Checked);
    if (OnClick) OnClick();
}

void CheckBox::userClick() {
    checked_ = !checked_;
    changed(Prop::Checked);
    if (OnClick) OnClick();
}

void Edit::setText(std::string text) {
    if (text == caption()) return;
    assignCaption(std::move(text));
    changed(Prop::Caption);
    if (OnChange) OnChange();
}

void Edit::setReadOnly(bool value) {
    if (value == readOnly_) return;
    readOnly_ = value;
    changed(Prop::ReadOnly);
}

void Edit::setMaxLength(int length) {
    if (length == maxLength_) return;
    maxLength_ = length < 0 ? 0 : length;
    changed(Prop::MaxLength);
}

namespace {

// The first `limit` characters (a double-byte character counts once).
std::string FirstCharacters(const std::string& text, int limit) {
    std::size_t i = 0;
    for (int n = 0; n < limit && i < text.size(); ++n) {
        i += (sjis::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return text.substr(0, i);
}

}  // namespace

void Edit::userSetText(std::string text) {
    if (maxLength_ > 0) text = FirstCharacters(text, maxLength_);
    if (text == caption()) return;
    // The native control already shows what the user typed: no push back.
    assignCaption(std::move(text));
    if (OnChange) OnChange();
}

bool Edit::userKeyDown(int key) {
    if (OnKeyDown) OnKeyDown(key);
    return key != 0;
}

}  // namespace kumoya::ui
