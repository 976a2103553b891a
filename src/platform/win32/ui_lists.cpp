// Native peers of the list-like controls: combo box, report list view, page
// control with its sheets, status bar.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/wide.h"

namespace kumoya::ui::win32 {
namespace {

class ComboBoxPeer final : public ControlPeer {
public:
    explicit ComboBoxPeer(ComboBox& box) : ControlPeer(box), box_(box) {
        const DWORD style = box.editable() ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST;
        createChild(L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | style, 0);
        applyBounds();
        update(Prop::Items);
        if (box.editable()) update(Prop::Text);
    }
    // The native height includes the dropped-down list.
    void applyBounds() override {
        int d = dpi();
        SetWindowPos(hwnd_, nullptr, Scale(control_.left(), d), Scale(control_.top(), d), Scale(control_.width(), d),
                     Scale(control_.height() + 200, d), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Items:
                echo_ = true;
                SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
                for (const std::string& item : box_.items()) {
                    SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
                }
                SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(box_.itemIndex()), 0);
                // Resetting the list empties the edit of an editable box.
                if (box_.editable()) SetWindowTextW(hwnd_, Wide(box_.text()).c_str());
                echo_ = false;
                break;
            case Prop::Selection:
                echo_ = true;
                SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(box_.itemIndex()), 0);
                if (box_.editable() && box_.itemIndex() < 0) SetWindowTextW(hwnd_, Wide(box_.text()).c_str());
                echo_ = false;
                break;
            case Prop::Text:
                // The edit of an editable box; a list without typing shows its item.
                if (!box_.editable()) break;
                echo_ = true;
                SetWindowTextW(hwnd_, Wide(box_.text()).c_str());
                echo_ = false;
                break;
            case Prop::Caption: break;
            default: ControlPeer::update(what); break;
        }
    }
    void command(WORD code) override {
        if (echo_) return;
        if (code == CBN_SELCHANGE) {
            int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
            if (index >= 0) box_.userSelect(index);
        } else if (code == CBN_EDITCHANGE && box_.editable()) {
            int length = GetWindowTextLengthW(hwnd_);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), length + 1)));
            if (auto sjis = platform::win32::FromWide(text)) {
                box_.userSetText(*sjis);
            } else {
                // A character without a Shift_JIS form cannot be kept: refuse it visibly.
                MessageBeep(MB_ICONWARNING);
                update(Prop::Text);
            }
        }
    }

private:
    ComboBox& box_;
};

// A transparent placeholder for image-list slots without an icon.
HICON BlankIcon(int width, int height) {
    int rowBytes = ((width + 15) / 16) * 2;
    std::vector<BYTE> andMask(static_cast<std::size_t>(rowBytes * height), 0xFF);
    std::vector<BYTE> xorMask(static_cast<std::size_t>(rowBytes * height), 0x00);
    return CreateIcon(GetModuleHandleW(nullptr), width, height, 1, 1, andMask.data(), xorMask.data());
}

class ListViewPeer final : public ControlPeer {
public:
    explicit ListViewPeer(ListView& list) : ControlPeer(list), list_(list) {
        DWORD style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
        if (list.editLabels()) style |= LVS_EDITLABELS;
        if (!list.showColumnHeaders()) style |= LVS_NOCOLUMNHEADER;
        echo_ = true;
        createChild(WC_LISTVIEWW, style, WS_EX_CLIENTEDGE);
        echo_ = false;
        options();
        update(Prop::Columns);
        update(Prop::Images);
        update(Prop::Items);
    }
    ~ListViewPeer() override {
        if (images_) ImageList_Destroy(images_);
        if (blank_) DestroyIcon(blank_);
    }

    void update(Prop what) override {
        switch (what) {
            case Prop::Columns: columns(); break;
            case Prop::Images: images(false); break;
            case Prop::Items: items(list_.firstChangedItem()); break;
            case Prop::Selection: selection(); break;
            case Prop::Checked: checks(); break;
            case Prop::Options: options(); break;
            case Prop::Font:
                ControlPeer::update(what);
                columns();
                images(true);
                break;
            default: ControlPeer::update(what); break;
        }
    }

    bool notify(NMHDR* header, LRESULT& result) override {
        switch (header->code) {
            case LVN_ITEMCHANGED: {
                if (echo_) return false;
                auto* change = reinterpret_cast<NMLISTVIEW*>(header);
                if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) &&
                    ((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) {
                    list_.userChangeSelection(change->iItem, (change->uNewState & LVIS_SELECTED) != 0);
                }
                // A click on a check box (from an image already shown: the
                // first one the list assigns itself is no click).
                if (list_.checkBoxes() && change->iItem >= 0 && (change->uChanged & LVIF_STATE) &&
                    ((change->uOldState ^ change->uNewState) & LVIS_STATEIMAGEMASK) &&
                    (change->uOldState & LVIS_STATEIMAGEMASK)) {
                    list_.userSetChecked(change->iItem,
                                         (change->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2));
                }
                result = 0;
                return true;
            }
            case NM_DBLCLK:
                list_.userDblClick();
                result = 0;
                return true;
            // Sent once the list has finished with the click (selection
            // made, drag detection over), so a handler may open a message
            // box.
            case NM_CLICK:
                list_.userClick();
                result = 0;
                return true;
            // A right click goes on to WM_CONTEXTMENU (contextMenu below), as
            // the keyboard's requests do.
            case LVN_BEGINLABELEDITW:
                result = list_.editLabels() ? FALSE : TRUE;
                return true;
            case LVN_ENDLABELEDITW: {
                auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
                result = FALSE;  // the text is set below, as the model has it
                if (!info->item.pszText) return true;  // cancelled
                auto text = platform::win32::FromWide(info->item.pszText);
                if (!text) {
                    MessageBeep(MB_ICONWARNING);  // characters without a Shift_JIS form
                    return true;
                }
                list_.userEdit(info->item.iItem, *text);
                return true;
            }
            default: return false;
        }
    }

    bool contextMenu(POINT at) override {
        if (!list_.popupMenu()) return false;
        if (at.x == -1 && at.y == -1) {
            // From the keyboard: under the selected item, or at the list's
            // corner when none is selected.
            RECT r{};
            r.left = LVIR_LABEL;
            int index = list_.selected();
            if (index < 0 || !SendMessageW(hwnd_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)))
                r = RECT{0, 0, 0, 0};
            at = POINT{r.left, r.bottom};
            ClientToScreen(hwnd_, &at);
        }
        list_.userContextMenu({at.x, at.y});
        return true;
    }

private:
    // Brings the native columns to the model's in place: captions and
    // widths are set on the columns both have, surplus ones go from the end
    // and missing ones are appended, so the rows keep their texts.
    void columns() {
        echo_ = true;
        const std::vector<ListColumn>& model = list_.columns();
        const int wanted = static_cast<int>(model.size());
        auto header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
        int native = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        if (native < 0) native = 0;
        for (int i = native - 1; i >= wanted; --i) SendMessageW(hwnd_, LVM_DELETECOLUMN, static_cast<WPARAM>(i), 0);
        const int d = dpi();
        for (int i = 0; i < wanted; ++i) {
            const ListColumn& column = model[static_cast<std::size_t>(i)];
            std::wstring caption = Wide(column.caption);
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH;
            c.pszText = caption.data();
            c.cx = Scale(column.width, d);
            SendMessageW(hwnd_, i < native ? LVM_SETCOLUMNW : LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&c));
        }
        echo_ = false;
    }

    // After a DPI change: columns and images at the new size.
    void relayout() override {
        ControlPeer::relayout();
        columns();
        images(true);
    }

    // Brings the native image list up to the model's: icons appended since
    // the last time are appended, anything else (another list, a removed or
    // replaced icon, a new size) builds it anew.
    void images(bool rebuild) {
        const ImageList* model = list_.smallImages();
        if (!rebuild && model && model == source_ && images_ && model->layoutVersion() == layout_ &&
            model->count() >= synced_) {
            for (int i = synced_; i < model->count(); ++i) addImage(*model, i);
            synced_ = model->count();
            return;
        }
        source_ = model;
        layout_ = model ? model->layoutVersion() : 0;
        synced_ = 0;
        HIMAGELIST old = images_;
        images_ = nullptr;
        if (blank_) DestroyIcon(blank_);
        blank_ = nullptr;
        if (model) {
            int d = dpi();
            images_ = ImageList_Create(Scale(model->width(), d), Scale(model->height(), d), ILC_COLOR32 | ILC_MASK,
                                       model->count(), 64);
            for (int i = 0; images_ && i < model->count(); ++i) addImage(*model, i);
            synced_ = model->count();
        }
        SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
        if (old) ImageList_Destroy(old);
    }

    void addImage(const ImageList& model, int index) {
        if (!images_) return;
        auto icon = static_cast<HICON>(model.icon(index)->NativeHandle());
        if (!icon) {
            if (!blank_) {
                int w = 16, h = 16;
                ImageList_GetIconSize(images_, &w, &h);
                blank_ = BlankIcon(w, h);
            }
            icon = blank_;
        }
        ImageList_AddIcon(images_, icon);
    }

    void setText(int index, int subItem, const std::string& text) {
        std::wstring wide = Wide(text);
        LVITEMW item{};
        item.iSubItem = subItem;
        item.pszText = wide.data();
        SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }

    // Brings the native rows up to the model's from `from` on: rows that
    // both have are set in place, surplus native rows go, new ones are
    // appended. Appending a row thus costs one row, not the whole list.
    void items(int from) {
        images(false);
        const int count = list_.itemCount();
        const int native = static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0));
        if (from > native) from = native;
        if (from < 0) from = 0;
        const bool bulk = count - from > 1 || native - from > 1;
        echo_ = true;
        if (bulk) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        if (count == 0) {
            SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        } else {
            for (int i = native - 1; i >= count; --i) SendMessageW(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
            for (int i = from; i < count; ++i) putRow(i, i < native);
        }
        if (bulk) {
            SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
        echo_ = false;
        checks(from);
        // Rows appended after the selection leave it as it was.
        if (from < native || list_.selected() >= from) selection();
    }

    void putRow(int index, bool existing) {
        const ListItem& model = list_.item(index);
        std::wstring caption = Wide(model.caption);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = index;
        item.pszText = caption.data();
        item.iImage = model.imageIndex;
        if (existing) {
            SendMessageW(hwnd_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        } else {
            SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        std::size_t columns = list_.columns().size();
        std::size_t texts = model.subItems.size();
        if (existing && columns > texts + 1) texts = columns - 1;  // clear what the row showed before
        for (std::size_t k = 0; k < texts; ++k) {
            setText(index, static_cast<int>(k) + 1, k < model.subItems.size() ? model.subItems[k] : std::string());
        }
    }

    void options() {
        const DWORD mask = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
        DWORD value = (list_.checkBoxes() ? LVS_EX_CHECKBOXES : 0) | (list_.rowSelect() ? LVS_EX_FULLROWSELECT : 0);
        echo_ = true;
        SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, value);
        echo_ = false;
    }

    // The check boxes show the model's states.
    void checks(int from = 0) {
        if (!list_.checkBoxes()) return;
        echo_ = true;
        for (int i = from; i < list_.itemCount(); ++i) {
            LVITEMW state{};
            state.stateMask = LVIS_STATEIMAGEMASK;
            state.state = INDEXTOSTATEIMAGEMASK(list_.item(i).checked ? 2 : 1);
            SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&state));
        }
        echo_ = false;
    }

    void selection() {
        echo_ = true;
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = 0;
        SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
        int selected = list_.selected();
        if (selected >= 0) {
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&state));
            SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
        }
        echo_ = false;
    }

    ListView& list_;
    HIMAGELIST images_ = nullptr;
    HICON blank_ = nullptr;  // stands in for empty images
    const ImageList* source_ = nullptr;
    std::uint64_t layout_ = 0;
    int synced_ = 0;  // images of source_ in images_
};

class PageControlPeer final : public ContainerPeer {
public:
    explicit PageControlPeer(PageControl& pages) : ContainerPeer(pages), pages_(pages) {
        createChild(WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
        update(Prop::Items);
    }
    void update(Prop what) override {
        switch (what) {
            case Prop::Items: {
                echo_ = true;
                SendMessageW(hwnd_, TCM_DELETEALLITEMS, 0, 0);
                int index = 0;
                for (TabSheet* sheet : pages_.pages()) {
                    std::wstring caption = Wide(sheet->caption());
                    TCITEMW item{};
                    item.mask = TCIF_TEXT;
                    item.pszText = caption.data();
                    SendMessageW(hwnd_, TCM_INSERTITEMW, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
                }
                SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(pages_.activePageIndex()), 0);
                echo_ = false;
                relayout();
                break;
            }
            case Prop::Selection:
                echo_ = true;
                SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(pages_.activePageIndex()), 0);
                echo_ = false;
                break;
            case Prop::Bounds: relayout(); break;
            default: ContainerPeer::update(what); break;
        }
    }
    bool notify(NMHDR* header, LRESULT& result) override {
        if (header->code != TCN_SELCHANGE || echo_) return false;
        pages_.userSelectPage(static_cast<int>(SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0)));
        result = 0;
        return true;
    }

private:
    PageControl& pages_;
};

class TabSheetPeer final : public ContainerPeer {
public:
    explicit TabSheetPeer(TabSheet& sheet) : ContainerPeer(sheet) {
        RegisterClasses();
        createChild(kPanelClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
        applyBounds();
    }
    // A sheet fills the page control's display area.
    void applyBounds() override {
        HWND tabs = parent_ ? parent_->handle() : nullptr;
        if (!tabs) return;
        RECT r;
        GetClientRect(tabs, &r);
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void update(Prop what) override {
        if (what == Prop::Caption && parent_) {
            parent_->update(Prop::Items);  // the caption is the tab's text
            return;
        }
        ContainerPeer::update(what);
    }
};

class StatusBarPeer : public ControlPeer {
public:
    explicit StatusBarPeer(StatusBar& bar) : ControlPeer(bar) {
        createChild(STATUSCLASSNAMEW, CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0);
    }
};

}  // namespace

std::unique_ptr<Peer> MakeComboBoxPeer(ComboBox& box) { return std::make_unique<ComboBoxPeer>(box); }
std::unique_ptr<Peer> MakeListViewPeer(ListView& list) { return std::make_unique<ListViewPeer>(list); }
std::unique_ptr<Peer> MakePageControlPeer(PageControl& pages) { return std::make_unique<PageControlPeer>(pages); }
std::unique_ptr<Peer> MakeTabSheetPeer(TabSheet& sheet) { return std::make_unique<TabSheetPeer>(sheet); }
std::unique_ptr<Peer> MakeStatusBarPeer(StatusBar& bar) { return std::make_unique<StatusBarPeer>(bar); }

}  // namespace kumoya::ui::win32
