// Menus: a tree of MenuItem under a Menu root owned by a form. A popup menu
// is realised natively only while it is up, so its items may be rebuilt
// freely between popups.
//
//   ui::PopupMenu PopupMenu1{*this};          // member of the owner form
//   PopupMenu1.setImages(&ImageList1);
//   ui::MenuItem& cat = PopupMenu1.items().add("Tools");
//   ui::MenuItem& prog = cat.add("Editor");
//   prog.setHint("C:\\Tools\\edit.exe");
//   prog.setImageIndex(0);
//   prog.OnClick = [this, &prog] { LaunchMenuClick(prog); };
//   bool chosen = PopupMenu1.popup(App().cursorPos());
//
// popup() waits until the menu is dismissed and answers whether an entry was
// chosen; the entry's OnClick runs afterwards, from the message loop (the
// caller's ProcessMessages loop), as the command message arrives.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/backend.h"

namespace kumoya::ui {

class ImageList;

class MenuItem {
public:
    explicit MenuItem(std::string caption = {});
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    // Kept with the entry, never shown.
    const std::string& hint() const { return hint_; }
    void setHint(std::string hint) { hint_ = std::move(hint); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // Index into the menu's image list; -1 for none.
    int imageIndex() const { return imageIndex_; }
    void setImageIndex(int index);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    bool checked() const { return checked_; }
    void setChecked(bool checked);
    // A caption of "-" makes a separator line.
    bool isSeparator() const { return caption_ == "-"; }

    MenuItem* parent() const { return parent_; }
    Menu* menu() const;
    // The command id of this item in WM_COMMAND (unique among live items).
    int commandId() const { return commandId_; }

    // Sub-items, owned by this item.
    int count() const { return static_cast<int>(items_.size()); }
    MenuItem& item(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
    MenuItem& add(std::string caption);
    MenuItem& add(std::unique_ptr<MenuItem> item);
    void remove(int index);
    void clear();
    // The first visible sub-item with this caption, or null.
    MenuItem* find(const std::string& caption) const;
    MenuItem* findCommand(int commandId);

    std::function<void()> OnClick;
    void userClick();
    // The item's submenu is about to open: a handler may still fill in what
    // it shows (icons of a large menu, for instance).
    std::function<void()> OnPopup;
    void userPopup();

private:
    friend class Menu;
    void changed();

    std::string caption_;
    std::string hint_;
    int tag_ = 0;
    int imageIndex_ = -1;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    int commandId_;
    MenuItem* parent_ = nullptr;
    Menu* menu_ = nullptr;  // set on the root item only
    std::vector<std::unique_ptr<MenuItem>> items_;
};

class Menu {
public:
    explicit Menu(Form& owner);
    virtual ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    Form& owner() const { return owner_; }
    MenuItem& items() { return root_; }
    const MenuItem& items() const { return root_; }
    ImageList* images() const { return images_; }
    void setImages(ImageList* images) { images_ = images; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

    // Told by the items when anything in the tree changes.
    void setPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }
    Peer* peer() const { return peer_.get(); }

private:
    friend class MenuItem;
    void itemsChanged() {
        if (peer_) peer_->update(Prop::Items);
    }

    Form& owner_;
    MenuItem root_;
    ImageList* images_ = nullptr;
    int tag_ = 0;
    std::unique_ptr<Peer> peer_;
};

// The form's menu bar; its top-level items are the menus ("&File"), their
// items the commands. A form shows the first MainMenu it owns.
class MainMenu : public Menu {
public:
    using Menu::Menu;
};

class PopupMenu : public Menu {
public:
    using Menu::Menu;
    // Pops up at a screen point; true when an entry was chosen.
    bool popup(Point at);
    bool popup(int x, int y) { return popup(Point{x, y}); }
};

}  // namespace kumoya::ui
