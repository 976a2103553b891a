#include "platform/ui/menu.h"

#include <algorithm>
#include <bitset>
#include <mutex>
#include <stdexcept>

#include "platform/ui/form.h"

namespace kumoya::ui {
namespace {

// Command ids travel in the low word of WM_COMMAND; 0 means "no choice" to
// TrackPopupMenu, and ids from 0xF000 up are the system menu's. An id is
// handed out again only after its item is gone, so a command always finds
// the item it was meant for, however many items came and went meanwhile.
class CommandIds {
public:
    static constexpr int kFirst = 0x1000;
    static constexpr int kLast = 0xEFFF;

    int take() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int tried = 0; tried <= kLast - kFirst; ++tried) {
            const int id = next_;
            next_ = next_ == kLast ? kFirst : next_ + 1;
            if (!live_[static_cast<std::size_t>(id - kFirst)]) {
                live_[static_cast<std::size_t>(id - kFirst)] = true;
                return id;
            }
        }
        throw std::length_error("too many menu items at once");
    }
    void give(int id) {
        std::lock_guard<std::mutex> lock(mutex_);
        live_[static_cast<std::size_t>(id - kFirst)] = false;
    }

private:
    std::mutex mutex_;
    std::bitset<kLast - kFirst + 1> live_;
    int next_ = kFirst;
};

CommandIds& Ids() {
    static CommandIds ids;
    return ids;
}

}  // namespace

MenuItem::MenuItem(std::string caption) : caption_(std::move(caption)), commandId_(Ids().take()) {}

MenuItem::~MenuItem() {
    // Sub-items first, so that their ids are free before this one.
    items_.clear();
    Ids().give(commandId_);
}

Menu* MenuItem::menu() const {
    const MenuItem* item = this;
    while (item->parent_) item = item->parent_;
    return item->menu_;
}

void MenuItem::changed() {
    if (Menu* m = menu()) m->itemsChanged();
}

void MenuItem::setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    changed();
}

void MenuItem::setImageIndex(int index) {
    if (index == imageIndex_) return;
    imageIndex_ = index;
    changed();
}

void MenuItem::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    changed();
}

void MenuItem::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    changed();
}

void MenuItem::setChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    changed();
}

MenuItem& MenuItem::add(std::string caption) { return add(std::make_unique<MenuItem>(std::move(caption))); }

MenuItem& MenuItem::add(std::unique_ptr<MenuItem> item) {
    item->parent_ = this;
    items_.push_back(std::move(item));
    changed();
    return *items_.back();
}

void MenuItem::remove(int index) {
    if (index < 0 || index >= count()) return;
    items_.erase(items_.begin() + index);
    changed();
}

void MenuItem::clear() {
    if (items_.empty()) return;
    items_.clear();
    changed();
}

MenuItem* MenuItem::find(const std::string& caption) const {
    for (const auto& item : items_) {
        if (item->visible_ && item->caption_ == caption) return item.get();
    }
    return nullptr;
}

MenuItem* MenuItem::findCommand(int commandId) {
    if (commandId_ == commandId && parent_) return this;
    for (const auto& item : items_) {
        if (MenuItem* found = item->findCommand(commandId)) return found;
    }
    return nullptr;
}

void MenuItem::userClick() {
    if (OnClick) OnClick();
}

void MenuItem::userPopup() {
    if (OnPopup) OnPopup();
}

Menu::Menu(Form& owner) : owner_(owner) {
    root_.menu_ = this;
    owner_.menus_.push_back(this);
}

Menu::~Menu() {
    peer_.reset();
    std::erase(owner_.menus_, this);
}

bool PopupMenu::popup(Point at) {
    // The owner needs its window to own the popup; it need not be visible.
    owner().realize(Backend());
    return Backend().trackPopup(*this, at) != nullptr;
}

}  // namespace kumoya::ui
