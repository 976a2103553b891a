#include <algorithm>
#include <stdexcept>

#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"

namespace kumoya::ui {

// ---- ComboBox ----

void ComboBox::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    if (itemIndex_ >= itemCount()) itemIndex_ = -1;
    changed(Prop::Items);
}

void ComboBox::addItem(std::string item) {
    items_.push_back(std::move(item));
    changed(Prop::Items);
}

void ComboBox::setItemIndex(int index) {
    if (index < -1 || index >= itemCount()) index = -1;
    if (index == itemIndex_) return;
    itemIndex_ = index;
    if (editable() && index >= 0) text_ = items_[static_cast<std::size_t>(index)];
    changed(Prop::Selection);
}

std::string ComboBox::text() const {
    if (editable()) return text_;
    return itemIndex_ >= 0 ? items_[static_cast<std::size_t>(itemIndex_)] : "";
}

void ComboBox::setText(std::string text) {
    if (!editable()) throw std::logic_error("ComboBox::setText: a drop-down list shows its items only");
    if (text == text_) return;
    text_ = std::move(text);
    itemIndex_ = indexOf(text_);
    changed(Prop::Text);
    if (OnChange) OnChange();
}

int ComboBox::indexOf(const std::string& text) const {
    auto it = std::find(items_.begin(), items_.end(), text);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void ComboBox::userSelect(int index) {
    if (index < 0 || index >= itemCount()) return;
    itemIndex_ = index;
    if (editable()) text_ = items_[static_cast<std::size_t>(index)];
    changed(Prop::Selection);
    if (OnClick) OnClick();
    if (OnChange) OnChange();
}

void ComboBox::userSetText(std::string text) {
    if (!editable() || text == text_) return;
    text_ = std::move(text);
    // Typing leaves no item chosen, as the system's edit-and-list box does.
    itemIndex_ = -1;
    if (OnChange) OnChange();
}

// ---- ListView ----

void ListView::addColumn(std::string caption, int width) {
    columns_.push_back({std::move(caption), width});
    changed(Prop::Columns);
}

void ListView::setColumnCaption(int index, std::string caption) {
    if (index < 0 || index >= static_cast<int>(columns_.size())) return;
    ListColumn& column = columns_[static_cast<std::size_t>(index)];
    if (column.caption == caption) return;
    column.caption = std::move(caption);
    changed(Prop::Columns);
}

void ListView::setColumnWidth(int index, int width) {
    if (index < 0 || index >= static_cast<int>(columns_.size())) return;
    ListColumn& column = columns_[static_cast<std::size_t>(index)];
    if (width < 0) width = 0;
    if (column.width == width) return;
    column.width = width;
    changed(Prop::Columns);
}

void ListView::setSmallImages(ImageList* images) {
    smallImages_ = images;
    changed(Prop::Images);
}

void ListView::itemsChanged(int from) {
    if (from < firstChanged_) firstChanged_ = from;
    if (updating_ > 0) {
        dirty_ = true;
        return;
    }
    changed(Prop::Items);
    firstChanged_ = itemCount();
}

void ListView::endUpdate() {
    if (updating_ > 0 && --updating_ == 0 && dirty_) {
        dirty_ = false;
        changed(Prop::Items);
        firstChanged_ = itemCount();
    }
}

int ListView::addItem(std::string caption, int imageIndex) {
    items_.push_back({std::move(caption), {}, imageIndex});
    itemsChanged(itemCount() - 1);
    return itemCount() - 1;
}

void ListView::setItemCaption(int index, std::string caption) {
    if (index < 0 || index >= itemCount()) return;
    items_[static_cast<std::size_t>(index)].caption = std::move(caption);
    itemsChanged(index);
}

void ListView::addSubItem(int index, std::string text) {
    if (index < 0 || index >= itemCount()) return;
    items_[static_cast<std::size_t>(index)].subItems.push_back(std::move(text));
    itemsChanged(index);
}

void ListView::setItemImage(int index, int imageIndex) {
    if (index < 0 || index >= itemCount()) return;
    items_[static_cast<std::size_t>(index)].imageIndex = imageIndex;
    itemsChanged(index);
}

void ListView::deleteItem(int index) {
    if (index < 0 || index >= itemCount()) return;
    items_.erase(items_.begin() + index);
    ++removals_;
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    itemsChanged(index);
}

void ListView::clearItems() {
    items_.clear();
    ++removals_;
    selected_ = -1;
    itemsChanged(0);
}

void ListView::setSelected(int index) {
    if (index < -1 || index >= itemCount()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    changed(Prop::Selection);
}

void ListView::userChangeSelection(int index, bool selected) {
    if (index < 0 || index >= itemCount()) return;
    if (selected) {
        selected_ = index;
    } else if (selected_ == index) {
        selected_ = -1;
    }
    if (OnSelectItem) OnSelectItem(index, selected);
}

void ListView::userSelect(int index) {
    if (index < -1 || index >= itemCount() || index == selected_) return;
    if (selected_ >= 0) userChangeSelection(selected_, false);
    if (index >= 0) userChangeSelection(index, true);
    changed(Prop::Selection);
}

void ListView::userDblClick() {
    if (OnDblClick) OnDblClick();
}

void ListView::userClick() {
    if (OnClick) OnClick();
}

void ListView::userEdit(int index, std::string text) {
    if (index < 0 || index >= itemCount()) return;
    const unsigned removals = removals_;
    if (OnEdited) OnEdited(index, text);
    // A handler that removed items (reloaded the list, say) took the edited
    // row away or moved it: the edit has nothing left to apply to.
    if (removals != removals_ || index >= itemCount()) return;
    items_[static_cast<std::size_t>(index)].caption = std::move(text);
    itemsChanged(index);
}

void ListView::userContextMenu(Point at) {
    if (popupMenu_) popupMenu_->popup(at);
}

// ---- PageControl ----

TabSheet::TabSheet(PageControl& pages) : Container(&pages), pages_(pages) { pages_.pagesChanged(); }

int TabSheet::pageIndex() const {
    auto pages = pages_.pages();
    auto it = std::find(pages.begin(), pages.end(), this);
    return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}

std::vector<TabSheet*> PageControl::pages() const {
    std::vector<TabSheet*> out;
    for (Control* child : children()) {
        if (auto* sheet = dynamic_cast<TabSheet*>(child)) out.push_back(sheet);
    }
    return out;
}

TabSheet* PageControl::activePage() const {
    auto list = pages();
    return active_ >= 0 && active_ < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(active_)] : nullptr;
}

void PageControl::showActive() {
    auto list = pages();
    for (std::size_t i = 0; i < list.size(); ++i) list[i]->setVisible(static_cast<int>(i) == active_);
}

void PageControl::pagesChanged() {
    int count = pageCount();
    if (count == 0) {
        active_ = -1;
    } else if (active_ < 0) {
        active_ = 0;
    } else if (active_ >= count) {
        active_ = count - 1;
    }
    showActive();
    changed(Prop::Items);
}

void PageControl::childrenChanged() { pagesChanged(); }

void PageControl::setActivePageIndex(int index) {
    if (index < 0 || index >= pageCount() || index == active_) return;
    active_ = index;
    showActive();
    changed(Prop::Selection);
}

void PageControl::userSelectPage(int index) {
    if (index < 0 || index >= pageCount() || index == active_) return;
    active_ = index;
    showActive();
    changed(Prop::Selection);
    if (OnChange) OnChange();
}

}  // namespace kumoya::ui
