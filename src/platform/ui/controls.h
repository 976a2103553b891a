// The ordinary controls. Each one: state, events named like the handlers the
// window code binds (`btOk.OnClick = [this] { btOkClick(); };`), and the
// user-action entry points that the Win32 peer and the tests both call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/icon.h"
#include "platform/ui/bitmap.h"
#include "platform/ui/control.h"

namespace kumoya::ui {

class Button : public Control {
public:
    explicit Button(Container& parent) : Control(&parent) {}

    // A result other than None ends the form's modal run after OnClick.
    DialogResult modalResult() const { return modalResult_; }
    void setModalResult(DialogResult result) { modalResult_ = result; }
    // The button Enter presses (Default) or Escape presses (Cancel).
    bool isDefault() const { return default_; }
    void setDefault(bool value) { default_ = value; }
    bool isCancel() const { return cancel_; }
    void setCancel(bool value) { cancel_ = value; }

    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    DialogResult modalResult_ = DialogResult::None;
    bool default_ = false;
    bool cancel_ = false;
};

class Label : public Control {
public:
    explicit Label(Container& parent) : Control(&parent) {}

    // "&" marks the access key (on by default); turn it off for labels that
    // show data such as file paths, where "&" is text.
    bool showAccelChar() const { return showAccelChar_; }
    void setShowAccelChar(bool value) { showAccelChar_ = value; }

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    bool showAccelChar_ = true;
};

// A picture: one icon, or bitmaps drawn on it (a picture stretched or not,
// and drawings at given places, such as tiles); clickable.
class Image : public Control {
public:
    explicit Image(Container& parent) : Control(&parent) { setBounds(0, 0, 32, 32); }

    const platform::Icon& icon() const { return icon_; }
    void setIcon(platform::Icon icon);
    void clearIcon() { setIcon(platform::Icon()); }

    // The bitmap shown from the top-left corner (or stretched over the
    // control); an empty bitmap clears it.
    const Bitmap& picture() const { return picture_; }
    void setPicture(Bitmap bitmap);
    bool stretch() const { return stretch_; }
    void setStretch(bool value);
    // Drawing on the picture's surface: each bitmap stays where it was drawn
    // (in 96-DPI pixels from the top-left corner), later ones on top.
    struct Drawing {
        int x = 0;
        int y = 0;
        Bitmap bitmap;
    };
    void draw(int x, int y, const Bitmap& bitmap);
    // Covers the whole control with copies of the bitmap, edge to edge from
    // the top-left corner.
    void tile(const Bitmap& bitmap);
    void clearDrawings();
    const std::vector<Drawing>& drawings() const { return drawings_; }
    // Whether a bitmap (picture or drawing) is shown rather than the icon.
    bool hasBitmaps() const;

    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    platform::Icon icon_;
    Bitmap picture_;
    bool stretch_ = false;
    std::vector<Drawing> drawings_;
};

class CheckBox : public Control {
public:
    explicit CheckBox(Container& parent) : Control(&parent) {}

    bool checked() const { return checked_; }
    // Raises OnClick when the state changes.
    void setChecked(bool checked);

    // Fires after the state has changed: the user toggled the box, or
    // setChecked changed it.
    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    bool checked_ = false;
};

enum class Bevel { None, Raised, Lowered };

// A plain container; also what a tab sheet is made of.
class Panel : public Container {
public:
    explicit Panel(Container& parent) : Container(&parent) {}

    Bevel bevel() const { return bevel_; }
    void setBevel(Bevel bevel) { bevel_ = bevel; }

    // A click with the left button on the panel itself (not on a control
    // on it).
    std::function<void()> OnClick;
    void userClick();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Bevel bevel_ = Bevel::Raised;
};

// Virtual-key codes the handlers look at.
inline constexpr int kKeyReturn = 0x0D;
inline constexpr int kKeyEscape = 0x1B;

// A one-line edit. Its text is caption().
class Edit : public Control {
public:
    explicit Edit(Container& parent) : Control(&parent) {}

    const std::string& text() const { return caption(); }
    // Raises OnChange when the text changes.
    void setText(std::string text);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool value);
    // Characters the user may type (0: no limit). Programmatic text is not cut.
    int maxLength() const { return maxLength_; }
    void setMaxLength(int length);
    bool border() const { return border_; }
    void setBorder(bool value) { border_ = value; }
    // Painted in the colour of what it stands on instead of the window colour.
    bool parentColor() const { return parentColor_; }
    void setParentColor(bool value) { parentColor_ = value; }
    // Whether the input method (the converter of Japanese input) works in
    // the field; off for fields that take plain characters only.
    bool imeEnabled() const { return imeEnabled_; }
    void setImeEnabled(bool value) {
        if (value == imeEnabled_) return;
        imeEnabled_ = value;
        changed(Prop::Options);
    }

    // Fires for the user's changes and for setText when the text changes.
    std::function<void()> OnChange;
    // The handler may set the key to 0 to swallow it.
    std::function<void(int& key)> OnKeyDown;

    // The user changed the text to `text` (typing, pasting, deleting).
    void userSetText(std::string text);
    // A key went down in the edit; false when a handler swallowed it.
    bool userKeyDown(int key);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    bool readOnly_ = false;
    int maxLength_ = 0;
    bool border_ = true;
    bool parentColor_ = false;
    bool imeEnabled_ = true;
};

}  // namespace kumoya::ui

namespace kumoya::ui {

class ImageList;

// A drop-down list without typing (the only kind the program uses).
// A drop-down list of items (DropDownList: the text is always the chosen
// item) or, with the DropDown style, an edit with a drop-down list: the user
// types any text or picks an item, which then becomes the text.
class ComboBox : public Control {
public:
    enum class Style { DropDownList, DropDown };

    explicit ComboBox(Container& parent) : Control(&parent) { setBounds(0, 0, 145, 20); }

    Style style() const { return style_; }
    void setStyle(Style style) {
        requireUncreated("style", style != style_);
        style_ = style;
    }
    bool editable() const { return style_ == Style::DropDown; }

    const std::vector<std::string>& items() const { return items_; }
    int itemCount() const { return static_cast<int>(items_.size()); }
    void setItems(std::vector<std::string> items);
    void addItem(std::string item);
    void clearItems() { setItems({}); }
    // -1 for none. Setting it never fires an event; in an editable box the
    // text becomes the item's.
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);
    // The selected item's text, or ""; in an editable box what the edit
    // shows (typed or picked).
    std::string text() const;
    // Editable boxes only: replaces the text; the item equal to it, if any,
    // becomes the selected one. Raises OnChange when the text changes.
    void setText(std::string text);
    // Position of the first item equal to `text`, or -1.
    int indexOf(const std::string& text) const;

    // The user picked an item: OnClick, then OnChange. Typing in an
    // editable box raises OnChange alone.
    std::function<void()> OnClick;
    std::function<void()> OnChange;
    void userSelect(int index);
    // The user changed the text of an editable box by typing (or pasting).
    void userSetText(std::string text);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    Style style_ = Style::DropDownList;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
    std::string text_;  // an editable box's text
};

struct ListColumn {
    std::string caption;
    int width = 50;  // 96-DPI pixels
};

struct ListItem {
    std::string caption;
    // Shown in the columns after the first; those beyond the columns are
    // kept with the item, unseen (a hidden key such as a record number).
    std::vector<std::string> subItems;
    int imageIndex = -1;
    bool checked = false;  // its check box, in a list with check boxes
};

// A report-style list view with single selection, small images and
// in-place editing of item captions.
class ListView : public Control {
public:
    explicit ListView(Container& parent) : Control(&parent) { setBounds(0, 0, 250, 150); }

    void addColumn(std::string caption, int width);
    const std::vector<ListColumn>& columns() const { return columns_; }
    // Changes a column's caption or width (96-DPI pixels; 0 hides it) at any
    // time; the rows and their texts stay. An index beyond the columns is
    // ignored.
    void setColumnCaption(int index, std::string caption);
    void setColumnWidth(int index, int width);
    bool showColumnHeaders() const { return showColumnHeaders_; }
    void setShowColumnHeaders(bool value) {
        requireUncreated("showColumnHeaders", value != showColumnHeaders_);
        showColumnHeaders_ = value;
    }
    // Caption editing in place (off by default); read-only is its opposite.
    bool editLabels() const { return editLabels_; }
    void setEditLabels(bool value) {
        requireUncreated("editLabels", value != editLabels_);
        editLabels_ = value;
    }
    bool readOnly() const { return !editLabels_; }
    void setReadOnly(bool value) { setEditLabels(!value); }
    // A check box before each item.
    bool checkBoxes() const { return checkBoxes_; }
    void setCheckBoxes(bool value) {
        checkBoxes_ = value;
        changed(Prop::Options);
    }
    // The selection highlights the whole row, not only the caption.
    bool rowSelect() const { return rowSelect_; }
    void setRowSelect(bool value) {
        rowSelect_ = value;
        changed(Prop::Options);
    }
    ImageList* smallImages() const { return smallImages_; }
    void setSmallImages(ImageList* images);
    // The menu a right click on the list pops up; null for none.
    PopupMenu* popupMenu() const { return popupMenu_; }
    void setPopupMenu(PopupMenu* menu) { popupMenu_ = menu; }
    // Call after changing the image list's contents. Icons appended since
    // the last call are appended to the native list; anything else rebuilds it.
    void imagesChanged() { changed(Prop::Images); }

    // Item changes between beginUpdate and endUpdate reach the screen once.
    void beginUpdate() { ++updating_; }
    void endUpdate();
    // For peers, on a change of the items: the first item that may differ
    // from what was shown before (items before it are unchanged).
    int firstChangedItem() const { return firstChanged_; }

    int itemCount() const { return static_cast<int>(items_.size()); }
    const ListItem& item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    int addItem(std::string caption, int imageIndex = -1);
    void setItemCaption(int index, std::string caption);
    void addSubItem(int index, std::string text);
    void setItemImage(int index, int imageIndex);
    void deleteItem(int index);
    void clearItems();
    // The item's check box. Setting it raises OnChange when it changes.
    bool itemChecked(int index) const;
    void setItemChecked(int index, bool checked);

    // -1 for none. Setting it never fires OnSelectItem.
    int selected() const { return selected_; }
    void setSelected(int index);

    // Every change of an item's selection state, selected or not.
    std::function<void(int index, bool selected)> OnSelectItem;
    std::function<void()> OnDblClick;
    // A click of the mouse on the list, on a row or beside the rows, after
    // the selection it made (keyboard moves raise only OnSelectItem).
    std::function<void()> OnClick;
    // The user finished editing the caption of item `index`; the handler may
    // change the text, which then becomes the caption.
    std::function<void(int index, std::string& text)> OnEdited;
    // An item's check box changed (the user's click or setItemChecked).
    std::function<void(int index)> OnChange;

    // User actions. userSelect moves the selection (firing for the item left
    // and then for the item chosen); userChangeSelection is the single-item
    // step the native list reports.
    void userSelect(int index);
    void userChangeSelection(int index, bool selected);
    void userDblClick();
    void userClick();
    void userEdit(int index, std::string text);
    void userSetChecked(int index, bool checked);
    // A right click: pops the list's popup menu up at the screen point.
    void userContextMenu(Point at);

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    // Items from `from` on changed.
    void itemsChanged(int from);

    std::vector<ListColumn> columns_;
    std::vector<ListItem> items_;
    bool showColumnHeaders_ = true;
    bool editLabels_ = false;
    bool checkBoxes_ = false;
    bool rowSelect_ = false;
    ImageList* smallImages_ = nullptr;
    PopupMenu* popupMenu_ = nullptr;
    int selected_ = -1;
    int updating_ = 0;
    bool dirty_ = false;
    int firstChanged_ = 0;
    // Counts removals; an edit whose handler removed items is not applied.
    unsigned removals_ = 0;
};

class PageControl;

// One page of a page control: a container shown while its page is active.
// Its caption is the tab's text.
class TabSheet : public Container {
public:
    explicit TabSheet(PageControl& pages);
    PageControl& pageControl() const { return pages_; }
    int pageIndex() const;

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }

private:
    PageControl& pages_;
};

class PageControl : public Container {
public:
    explicit PageControl(Container& parent) : Container(&parent) { setBounds(0, 0, 289, 193); }

    // The sheets in tab order.
    std::vector<TabSheet*> pages() const;
    int pageCount() const { return static_cast<int>(pages().size()); }
    // -1 for none. Setting it never fires OnChange.
    int activePageIndex() const { return active_; }
    TabSheet* activePage() const;
    void setActivePageIndex(int index);

    std::function<void()> OnChange;
    void userSelectPage(int index);

    // Called by the sheets as they come and go.
    void pagesChanged();

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }
    void childrenChanged() override;

private:
    void showActive();
    int active_ = -1;
};

// The strip at the bottom of a window; shows its caption.
class StatusBar : public Control {
public:
    explicit StatusBar(Container& parent) : Control(&parent) { setBounds(0, 0, 100, 19); }

protected:
    std::unique_ptr<Peer> makePeer(UiBackend& backend) override { return backend.createPeer(*this); }
};

}  // namespace kumoya::ui
