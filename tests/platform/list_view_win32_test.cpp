// The native list view kept in step with the model: a long fill appends row
// by row and icon by icon (the native image list is never rebuilt for an
// append), and an in-place edit whose handler reloads the list leaves the
// native rows as the model has them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/image_list.h"
#include "platform/ui/menu.h"
#include "platform/win32/ui_win32.h"

namespace kumoya::ui {
namespace {

using win32::HandleOf;

class ListForm : public Form {
public:
    ListForm() {
        setClientSize(360, 260);
        lvList.setBounds(8, 8, 340, 240);
        lvList.addColumn("Title", 300);
        lvList.setEditLabels(true);
        lvList.setSmallImages(&ilIcon);
    }
    ImageList ilIcon{16, 16};
    ListView lvList{*this};
};

std::wstring RowText(HWND list, int row, int column = 0) {
    wchar_t text[128] = {};
    ListView_GetItemText(list, row, column, text, 128);
    return text;
}

int RowImage(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ListView_GetItem(list, &item);
    return item.iImage;
}

// Every native row as the model has it.
void ExpectSameRows(const ListView& model, HWND list) {
    ASSERT_EQ(ListView_GetItemCount(list), model.itemCount());
    for (int i = 0; i < model.itemCount(); ++i) {
        int n = MultiByteToWideChar(932, 0, model.item(i).caption.c_str(), -1, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(932, 0, model.item(i).caption.c_str(), -1, wide.data(), n);
        wide.resize(wide.size() - 1);
        EXPECT_EQ(RowText(list, i), wide) << "row " << i;
        EXPECT_EQ(RowImage(list, i), model.item(i).imageIndex) << "row " << i;
    }
}

class ListWin32 : public ::testing::Test {
protected:
    void SetUp() override { App().reset(); }
    void TearDown() override {
        App().processMessages();
        App().reset();
    }
};

TEST_F(ListWin32, AFillAppendsRowsAndIconsWithoutRebuildingTheNativeImageList) {
    ListForm form;
    form.show();
    HWND list = HandleOf(form.lvList);
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    HIMAGELIST native = nullptr;
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 0) {
            // An empty icon still takes its place.
            form.ilIcon.add(i % 6 == 0 ? platform::Icon(CopyIcon(icon), "app") : platform::Icon());
            form.lvList.imagesChanged();
        }
        form.lvList.beginUpdate();
        int row = form.lvList.addItem("Program " + std::to_string(i), form.ilIcon.count() - 1);
        form.lvList.addSubItem(row, std::to_string(i));
        form.lvList.endUpdate();
        HIMAGELIST now = ListView_GetImageList(list, LVSIL_SMALL);
        if (i == 0) native = now;
        ASSERT_EQ(now, native) << "the native image list was rebuilt at row " << i;
        if (i % 10 == 0) App().processMessages();
    }
    EXPECT_EQ(ImageList_GetImageCount(native), form.ilIcon.count());
    ExpectSameRows(form.lvList, list);

    // Changes in the middle, removals and a replaced icon.
    form.lvList.setItemCaption(10, "Renamed");
    form.lvList.deleteItem(5);
    form.lvList.deleteItem(form.lvList.itemCount() - 1);
    form.lvList.setSelected(7);
    ExpectSameRows(form.lvList, list);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 7);
    form.ilIcon.replace(0, platform::Icon());
    form.lvList.imagesChanged();
    EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(list, LVSIL_SMALL)), form.ilIcon.count());
    form.lvList.clearItems();
    EXPECT_EQ(ListView_GetItemCount(list), 0);
}

TEST_F(ListWin32, AnEditWhoseHandlerReloadsTheListLeavesTheNativeRowsAsTheModelHasThem) {
    ListForm form;
    for (const char* t : {"一", "二", "三", "四"}) form.lvList.addItem(t);
    form.show();
    HWND list = HandleOf(form.lvList);
    auto endEdit = [&](int row, const wchar_t* typed) {
        std::wstring buffer = typed;
        NMLVDISPINFOW info{};
        info.hdr = {list, static_cast<UINT_PTR>(GetDlgCtrlID(list)), LVN_ENDLABELEDITW};
        info.item.iItem = row;
        info.item.pszText = buffer.data();
        SendMessageW(GetParent(list), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    };
    // The handler reloads a shorter list: the edited row is gone.
    form.lvList.OnEdited = [&](int, std::string&) {
        form.lvList.clearItems();
        form.lvList.addItem("新");
    };
    endEdit(3, L"編集");
    EXPECT_EQ(form.lvList.itemCount(), 1);
    EXPECT_EQ(form.lvList.item(0).caption, "新");
    ExpectSameRows(form.lvList, list);

    // The handler reloads the same rows: the reloaded text stands.
    for (const char* t : {"二", "三"}) form.lvList.addItem(t);
    form.lvList.OnEdited = [&](int, std::string&) {
        form.lvList.clearItems();
        for (const char* t : {"甲", "乙", "丙"}) form.lvList.addItem(t);
    };
    endEdit(1, L"編集");
    EXPECT_EQ(form.lvList.item(1).caption, "乙");
    ExpectSameRows(form.lvList, list);

    // A handler that leaves the rows alone: the edit applies to its row.
    form.lvList.OnEdited = [](int, std::string& text) { text += "!"; };
    endEdit(2, L"編集");
    EXPECT_EQ(form.lvList.item(2).caption, "編集!");
    ExpectSameRows(form.lvList, list);
}

class DpiForm : public ListForm {
public:
    DpiForm() {
        MainMenu1.setImages(&ilIcon);
        MenuItem& file = MainMenu1.items().add("File");
        file.setImageIndex(0);
        file.add("End");
    }
    MainMenu MainMenu1{*this};
};

// The size of the picture of the menu bar's first entry.
int MenuBitmapWidth(HWND window) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP;
    if (!GetMenuItemInfoW(GetMenu(window), 0, TRUE, &info) || !info.hbmpItem) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmpItem, sizeof bitmap, &bitmap);
    return bitmap.bmWidth;
}

TEST_F(ListWin32, ADpiChangeRescalesColumnsImagesAndMenuPictures) {
    DpiForm form;
    form.ilIcon.add(platform::Icon(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)), "app"));
    form.lvList.imagesChanged();
    form.lvList.addItem("row", 0);
    form.show();
    HWND window = HandleOf(form);
    HWND list = HandleOf(form.lvList);
    const int before = win32::DpiOf(window);
    const int after = before * 3 / 2;  // as when the window moves to a monitor at 150 %
    RECT wanted;
    GetWindowRect(window, &wanted);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(after, after), reinterpret_cast<LPARAM>(&wanted));
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(300, after, 96));
    int w = 0, h = 0;
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &w, &h);
    EXPECT_EQ(w, MulDiv(16, after, 96));
    EXPECT_EQ(h, MulDiv(16, after, 96));
    EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(list, LVSIL_SMALL)), 1);
    EXPECT_EQ(MenuBitmapWidth(window), MulDiv(16, after, 96));
    RECT r;
    GetWindowRect(list, &r);
    EXPECT_EQ(r.right - r.left, MulDiv(340, after, 96));
}

// A ranking list changes its value column with the ranking: captions and
// widths change in place on the native list, which keeps its rows, their
// texts and the selection; a hidden column stays hidden.
TEST_F(ListWin32, ColumnCaptionsAndWidthsChangeInPlaceAndTheRowsStay) {
    ListForm form;
    form.lvList.setColumnWidth(0, 201);
    form.lvList.addColumn("Pos", 0);
    form.lvList.addColumn("回数", 40);
    for (int i = 0; i < 3; ++i) {
        int row = form.lvList.addItem("row " + std::to_string(i));
        form.lvList.addSubItem(row, std::to_string(i));
        form.lvList.addSubItem(row, std::to_string(10 * i));
    }
    form.show();
    form.lvList.setSelected(1);
    HWND list = HandleOf(form.lvList);
    const int d = win32::DpiOf(HandleOf(form));
    auto caption = [list](int column) {
        wchar_t text[64] = {};
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = text;
        c.cchTextMax = 64;
        EXPECT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)));
        return std::wstring(text);
    };
    auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(caption(2), L"回数");

    form.lvList.setColumnCaption(2, "起動日時");
    form.lvList.setColumnWidth(0, 120);
    form.lvList.setColumnWidth(2, 100);
    form.lvList.setColumnCaption(7, "beyond");  // no such column: nothing happens
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(caption(0), L"Title");
    EXPECT_EQ(caption(2), L"起動日時");
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(120, d, 96));
    EXPECT_EQ(ListView_GetColumnWidth(list, 1), 0);
    EXPECT_EQ(ListView_GetColumnWidth(list, 2), MulDiv(100, d, 96));
    ExpectSameRows(form.lvList, list);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(RowText(list, i, 1), std::to_wstring(i));
        EXPECT_EQ(RowText(list, i, 2), std::to_wstring(10 * i));
    }
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 1);

    // A column added later is appended; the others keep their settings.
    form.lvList.addColumn("More", 30);
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ(caption(2), L"起動日時");
    EXPECT_EQ(ListView_GetColumnWidth(list, 3), MulDiv(30, d, 96));
    EXPECT_EQ(RowText(list, 2, 2), L"20");
}

}  // namespace
}  // namespace kumoya::ui
