#include "registration/add_exe_form.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/program_icon.h"
#include "manager/input_form.h"
#include "platform/text.h"

namespace kumoya {

namespace {

constexpr const char* kHintCheckAll = "すべてにチェックをつけます";
constexpr const char* kHintClearAll = "すべてのチェックをはずします";
constexpr const char* kPromptCategory = "新しい種類名を入力してください";
constexpr const char* kCaptionCategory = "種類名の追加";
constexpr const char* kPromptExtension = "新しい拡張子名を入力してください";
constexpr const char* kCaptionExtension = "拡張子名の追加";
constexpr const char* kCheckExtensionPopup = "この拡張子を開くときはポップアップで選べるようにする";

// What the catalogue keeps of a title, a path and a category or extension
// name (bytes, without the terminator).
constexpr std::size_t kTitleBytes = kTitleWidth - 1;
constexpr std::size_t kPathBytes = kPathWidth - 1;
constexpr std::size_t kNameBytes = kNameWidth - 1;

bool BlankAfterTrim(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// A 16 x 16 glyph drawn from rows of letters, top row first; '.' is the
// see-through colour (the bottom-left pixel tells the button which it is).
ui::Bitmap Glyph(const std::array<std::string_view, 16>& rows) {
    auto colour = [](char c) -> std::uint32_t {
        switch (c) {
            case 'G': return 0x20B020;  // green
            case 'g': return 0x106010;
            case 'L': return 0x90F090;  // lit highlight
            case 'R': return 0xD02020;  // red
            case 'r': return 0x701010;
            case 'Y': return 0xF0C020;  // amber
            case 'y': return 0x906000;
            case 'K': return 0x707070;  // unlit lamp
            case 'k': return 0x404040;
            case 'W': return 0xE0E0E0;
            default: return 0xFF00FF;  // see-through
        }
    };
    constexpr int kSide = 16;
    constexpr int kStride = kSide * 3;  // already a multiple of 4
    std::vector<std::uint8_t> out(54 + kStride * kSide, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kSide);
    put32(22, kSide);
    out[26] = 1;
    out[28] = 24;
    for (int y = 0; y < kSide; ++y) {
        std::string_view row = rows[static_cast<std::size_t>(kSide - 1 - y)];  // stored bottom up
        for (int x = 0; x < kSide; ++x) {
            std::uint32_t c = colour(x < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(x)] : '.');
            std::size_t at = 54 + static_cast<std::size_t>(y * kStride + x * 3);
            out[at] = static_cast<std::uint8_t>(c);
            out[at + 1] = static_cast<std::uint8_t>(c >> 8);
            out[at + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
    return ui::Bitmap::FromBytes(std::move(out), "glyph");
}

ui::Bitmap Lamp(char face, char edge) {
    std::array<std::string, 16> rows = {
        "................", "................", ".....eeeeee.....", "....effffffe....",
        "...efLLffffffe..", "...efLfffffffe..", "...effffffffffe.", "...effffffffffe.",
        "...effffffffffe.", "...effffffffffe.", "...efffffffffe..", "....effffffffe..",
        ".....eeeeeeee...", "................", "................", "................"};
    std::array<std::string_view, 16> view;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (char& c : rows[i]) {
            if (c == 'e') c = edge;
            if (c == 'f') c = face;
            if (c == 'L' && face == 'K') c = 'K';  // an unlit lamp has no shine
        }
        view[i] = rows[i];
    }
    return Glyph(view);
}

ui::Bitmap PlusGlyph() {
    return Glyph({"................", "................", "......gggg......", "......gGGg......",
                  "......gGGg......", "......gGGg......", "..gggggGGggggg..", "..gGGGGGGGGGGg..",
                  "..gGGGGGGGGGGg..", "..gggggGGggggg..", "......gGGg......", "......gGGg......",
                  "......gGGg......", "......gggg......", "................", "................"});
}

ui::Bitmap MinusGlyph() {
    return Glyph({"................", "................", "................", "................",
                  "................", "................", "..rrrrrrrrrrrr..", "..rRRRRRRRRRRr..",
                  "..rRRRRRRRRRRr..", "..rrrrrrrrrrrr..", "................", "................",
                  "................", "................", "................", "................"});
}

}  // namespace

TfrmAddExe::TfrmAddExe(ui::Form* owner) : ui::Form(owner) {
    setCaption(kCaptionAddExe);
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({true, false, false});
    setHelpContext(65);
    setClientSize(506, 326);

    lbExeName.setBounds(8, 8, 120, 14);
    lbExeName.setCaption("ファイル名");
    edExeName.setBounds(8, 24, 462, 21);
    edExeName.OnChange = [this] { edExeNameChange(); };
    btDlgOpen.setBounds(474, 24, 24, 21);
    btDlgOpen.setCaption("...");
    btDlgOpen.setHint("ファイルダイアログを開きます");
    btDlgOpen.OnClick = [this] { btDlgOpenClick(); };

    lbTitle.setBounds(8, 54, 120, 14);
    lbTitle.setCaption("タイトル");
    edTitle.setBounds(8, 70, 490, 21);
    edTitle.setHint("このプログラムのタイトルを入力します");
    edTitle.OnChange = [this] { edTitleChange(); };

    imLed = {Lamp('G', 'g'), Lamp('Y', 'y'), Lamp('K', 'k')};

    lbShurui.setBounds(8, 104, 100, 14);
    lbShurui.setCaption("種類名");
    sbShuAdd.setBounds(176, 99, 23, 22);
    sbShuAdd.setHint("種類の追加");
    sbShuAdd.setGlyph(PlusGlyph());
    sbShuAdd.OnClick = [this] { sbShuAddClick(); };
    sbShuDel.setBounds(200, 99, 23, 22);
    sbShuDel.setHint("種類の削除");
    sbShuDel.setGlyph(MinusGlyph());
    sbShuDel.OnClick = [this] { sbShuDelClick(); };
    sbShuAll.setBounds(224, 99, 23, 22);
    sbShuAll.OnClick = [this] { sbShuAllClick(); };
    clbShurui.setBounds(8, 124, 240, 158);
    clbShurui.setHint("このプログラムの分類を決めます");
    clbShurui.OnClickCheck = [this] { clbShuruiClickCheck(); };

    lbExt.setBounds(258, 104, 100, 14);
    lbExt.setCaption("拡張子");
    sbExtAdd.setBounds(426, 99, 23, 22);
    sbExtAdd.setHint("拡張子の追加");
    sbExtAdd.setGlyph(PlusGlyph());
    sbExtAdd.OnClick = [this] { sbExtAddClick(); };
    sbExtDel.setBounds(450, 99, 23, 22);
    sbExtDel.setHint("拡張子の削除");
    sbExtDel.setGlyph(MinusGlyph());
    sbExtDel.OnClick = [this] { sbExtDelClick(); };
    sbExtAll.setBounds(474, 99, 23, 22);
    sbExtAll.OnClick = [this] { sbExtAllClick(); };
    clbExt.setBounds(258, 124, 240, 158);
    clbExt.setHint("このプログラムで開くことの出来る拡張子を登録します");
    clbExt.OnClickCheck = [this] { clbExtClickCheck(); };

    btAdd.setBounds(334, 292, 75, 25);
    btAdd.setCaption("追加");
    btAdd.OnClick = [this] { btAddClick(); };
    btClose.setBounds(423, 292, 75, 25);
    btClose.setCaption("閉じる");
    btClose.OnClick = [this] { btCloseClick(); };

    UpdateCheckAllButtons();
    OnShow = [this] { FormShow(); };
    // A search still running when the dialog goes stops with it.
    OnClose = [this] { SearchForm->Searching = false; };

    SearchForm = std::make_unique<TfrmSearch>(this);
}

TfrmAddExe::~TfrmAddExe() {
    SearchForm->Searching = false;
    SearchForm.reset();
}

ui::DialogResult TfrmAddExe::ShowForFile(const std::string& path) {
    edExeName.setText(path);
    edExeName.setReadOnly(true);
    btDlgOpen.setVisible(false);
    SingleFile = true;
    pendingEntry_ = AllTitle ? AllTitle->FindTitle(sjis::UpperAscii(sjis::FileName(path))) : nullptr;
    PlaceWindows();
    SearchForm->lvSearch.OnClick = [this] { SearchListClick(); };
    Changed = false;
    return showModal();
}

ui::DialogResult TfrmAddExe::ShowForSearch() {
    SearchForm->lvSearch.OnClick = [this] { SearchListClick(); };
    edExeName.setText("");
    edExeName.setReadOnly(false);
    btDlgOpen.setVisible(true);
    SingleFile = false;
    PlaceWindows();
    Changed = false;
    return showModal();
}

ui::DialogResult TfrmAddExe::ShowForCatalogue() {
    SearchForm->lvSearch.OnClick = [this] { CatalogueListClick(); };
    TfrmSearch& search = *SearchForm;
    search.Panel1.setVisible(false);
    // The list takes the room the bar leaves.
    search.lvSearch.setBounds(0, 0, search.width(), search.height());
    edExeName.setText("");
    edExeName.setReadOnly(true);
    btDlgOpen.setVisible(false);
    SingleFile = false;
    ListRegistered();
    PlaceWindows();
    Changed = false;
    return showModal();
}

void TfrmAddExe::PlaceWindows() {
    TfrmSearch& search = *SearchForm;
    const ui::Size screen = ui::App().screenSize();
    const ui::Size frame = ui::App().frameSize(*this);
    const ui::Size searchFrame = ui::App().frameSize(search);
    const int width = this->width() + frame.width;
    const int height = this->height() + frame.height;
    const int searchWidth = search.width() + searchFrame.width;
    const int top = (screen.height - height) / 2;
    if (SingleFile) {
        setBounds((screen.width - width) / 2, top, this->width(), this->height());
        search.setBounds(search.left(), top, search.width(), search.height());
        return;
    }
    const int left = (screen.width - (searchWidth + width)) / 2;
    search.setBounds(left, top, search.width(), search.height());
    setBounds(left + searchWidth, top, this->width(), this->height());
}

void TfrmAddExe::FormShow() {
    if (edExeName.text().empty()) SearchForm->show();
    std::vector<std::string> names;
    for (int i = 0; i < NFile->Categories.Count(); ++i) names.push_back(NFile->Categories.At(i).Name);
    clbShurui.setItems(std::move(names));
    names.clear();
    for (int i = 0; i < NFile->Extensions.Count(); ++i) names.push_back(NFile->Extensions.At(i).Name);
    clbExt.setItems(std::move(names));
    UpdateCheckAllButtons();
    if (edExeName.text().empty()) return;

    const std::string path = edExeName.text();
    LoadProgram(path);
    TProg* prog = nullptr;
    if (NFile->Progs.FindByPath(path, prog) != 0 && pendingEntry_) ApplyTitleEntry(*pendingEntry_);
    Changed = false;
    setCaption(kCaptionChangeExe);
    btAdd.setCaption("変更");
}

void TfrmAddExe::LoadProgram(const std::string& path) {
    edExeName.setText(path);
    TProg* prog = nullptr;
    if (NFile->Progs.FindByPath(path, prog) == 0) {
        edTitle.setText(prog->Title);
        auto mark = [&](ui::CheckListBox& list, TExtList& exts) {
            for (int i = 0; i < list.itemCount(); ++i) {
                TExt* ext = nullptr;
                list.setChecked(i, exts.FindByName(list.item(i), ext) == 0 && ext->IndexOfProg(prog->Id) >= 0);
            }
        };
        mark(clbShurui, NFile->Categories);
        mark(clbExt, NFile->Extensions);
    }
    UpdateCheckAllButtons();
    Changed = false;
}

void TfrmAddExe::ApplyTitleEntry(const TFTitle& entry) {
    edTitle.setText(entry.Title);
    bool found = false;
    for (int i = 0; i < clbShurui.itemCount(); ++i) {
        bool mark = !found && sjis::EqualsIgnoreCase(clbShurui.item(i), entry.Category);
        found = found || mark;
        clbShurui.setChecked(i, mark);
    }
    for (int i = 0; i < clbExt.itemCount(); ++i) {
        const std::string& name = clbExt.item(i);
        clbExt.setChecked(i, std::any_of(entry.ExtNames.begin(), entry.ExtNames.end(),
                                         [&](const std::string& e) { return sjis::EqualsIgnoreCase(e, name); }));
    }
    UpdateCheckAllButtons();
    Changed = true;
}

bool TfrmAddExe::LeaveChangedRow() {
    if (!Changed) return true;
    if (ui::App().messageBox(kMsgUnsaved, kCaptionUnsaved, ui::MsgIcon::Question, ui::MsgButtons::YesNo) ==
        ui::DialogResult::Yes)
        return true;
    ui::ListView& list = SearchForm->lvSearch;
    // Back to the row shown, unless a new search has taken it away.
    const bool stillThere = CurrentItem >= 0 && CurrentItem < list.itemCount() &&
                            list.item(CurrentItem).caption == currentCaption_;
    list.setSelected(stillThere ? CurrentItem : -1);
    ui::App().messageBox(kMsgConfirmFirst, kCaptionConfirmFirst, ui::MsgIcon::Warning);
    return false;
}

void TfrmAddExe::SearchListClick() {
    ui::ListView& list = SearchForm->lvSearch;
    const int index = list.selected();
    if (index < 0) return;
    if (!LeaveChangedRow()) return;
    const std::string path = list.item(index).caption;
    CurrentItem = index;
    currentCaption_ = path;
    list.setHint(path);
    TProg* prog = nullptr;
    if (NFile->Progs.FindByPath(path, prog) == 0) {
        LoadProgram(path);
    } else {
        const TFTitle* entry = AllTitle ? AllTitle->FindTitle(sjis::UpperAscii(sjis::FileName(path))) : nullptr;
        if (entry) ApplyTitleEntry(*entry);
        edExeName.setText(path);
    }
    Changed = false;
}

void TfrmAddExe::CatalogueListClick() {
    ui::ListView& list = SearchForm->lvSearch;
    const int index = list.selected();
    if (index < 0) return;
    if (!LeaveChangedRow()) return;
    CurrentItem = index;
    currentCaption_ = list.item(index).caption;
    const ui::ListItem& row = list.item(index);
    TProg* prog = nullptr;
    if (row.subItems.empty() || NFile->Progs.FindById(std::atoi(row.subItems[0].c_str()), prog) != 0) return;
    LoadProgram(prog->Path);
}

void TfrmAddExe::ListRegistered() {
    TfrmSearch& search = *SearchForm;
    search.ClearList();
    std::vector<TProg*> progs;
    progs.reserve(static_cast<std::size_t>(NFile->Progs.Count()));
    for (int i = 0; i < NFile->Progs.Count(); ++i) progs.push_back(&NFile->Progs.At(i));
    std::sort(progs.begin(), progs.end(), [](const TProg* a, const TProg* b) { return a->Id < b->Id; });
    search.lvSearch.beginUpdate();
    for (TProg* prog : progs) {
        // The shell's small icon, else the file's first icon, else the
        // picture of a program without one.
        int image = search.ilIcon.add(LoadProgramIcon(prog->Path));
        int row = search.lvSearch.addItem(prog->Title, image);
        search.lvSearch.addSubItem(row, std::to_string(prog->Id));
    }
    search.lvSearch.imagesChanged();
    search.lvSearch.endUpdate();
}

void TfrmAddExe::btAddClick() {
    const std::string title = edTitle.text();
    if (title.empty()) {
        ui::App().messageBox(kMsgNoTitle, kCaptionAddExe, ui::MsgIcon::Error);
        return;
    }
    const std::string path = edExeName.text();
    if (path.size() > kPathBytes) {
        // The catalogue keeps 511 bytes of a path: a longer one would be
        // stored cut, naming another file.
        ui::App().messageBox(kMsgTooLong, kCaptionAddExe, ui::MsgIcon::Error);
        return;
    }
    TProg* prog = nullptr;
    const char* result = kMsgProgramChanged;
    if (NFile->Progs.FindByPath(path, prog) == 0) {
        prog->Title = title;
    } else {
        TProg record;
        record.Path = path;
        record.Title = title;
        record.TitleIndex = AllTitle ? AllTitle->IndexOfTitle(sjis::UpperAscii(sjis::FileName(path))) : -1;
        if (NFile->Progs.AddNew(record) != 0 || NFile->Progs.FindByPath(path, prog) != 0) return;
        result = kMsgProgramAdded;
    }
    if (Changed) prog->AssignEdited = 1;
    auto store = [&](ui::CheckListBox& list, TExtList& exts) {
        for (int i = 0; i < list.itemCount(); ++i) {
            TExt* ext = nullptr;
            if (exts.FindByName(list.item(i), ext) != 0) continue;
            if (list.checked(i)) {
                ext->AddProg(prog->Id);
            } else {
                ext->RemoveProg(prog->Id);
            }
        }
    };
    store(clbShurui, NFile->Categories);
    store(clbExt, NFile->Extensions);
    // The catalogue list shows titles: the row follows the new one.
    ui::ListView& list = SearchForm->lvSearch;
    if (!SearchForm->Panel1.visible() && CurrentItem >= 0 && CurrentItem < list.itemCount() &&
        list.item(CurrentItem).caption == currentCaption_) {
        list.setItemCaption(CurrentItem, title);
        currentCaption_ = title;
    }
    ui::App().messageBox(result, kCaptionAddExe, ui::MsgIcon::Information);
    Changed = false;
    if (SingleFile) setModalResult(ui::DialogResult::Ok);
}

void TfrmAddExe::btCloseClick() {
    if (Changed &&
        ui::App().messageBox(kMsgUnsaved, kCaptionUnsaved, ui::MsgIcon::Question, ui::MsgButtons::YesNo) !=
            ui::DialogResult::Yes)
        return;
    SearchForm->Searching = false;
    NFile->Extensions.Sort();
    setModalResult(ui::DialogResult::Ok);
}

void TfrmAddExe::btDlgOpenClick() {
    // Only the path changes for a file that is not registered: the title
    // database is not asked here.
    if (OpenDialog1.execute()) LoadProgram(OpenDialog1.fileName());
}

void TfrmAddExe::AddName(bool extension) {
    std::string name;
    bool popup = false;
    {
        TfrmInput input(this);
        if (extension) {
            // An extension is plain letters: no input method.
            input.edValue.setImeEnabled(false);
            input.Ask(kPromptExtension, kCaptionExtension, name, &popup, kCheckExtensionPopup);
        } else {
            input.Ask(kPromptCategory, kCaptionCategory, name);
        }
        if (input.Cancelled) return;
    }
    if (extension) name = sjis::UpperAscii(name);
    ui::CheckListBox& list = extension ? clbExt : clbShurui;
    if (BlankAfterTrim(name)) return;
    for (int i = 0; i < list.itemCount(); ++i) {
        if (sjis::EqualsIgnoreCase(list.item(i), name)) return;
    }
    if (name.size() > kNameBytes) {
        // The catalogue keeps 31 bytes of a name: a longer one would come
        // back cut, and could then match another name.
        ui::App().messageBox(kMsgTooLong, extension ? kCaptionExtension : kCaptionCategory, ui::MsgIcon::Error);
        return;
    }
    list.addItem(name, true);
    if (extension) list.sort();
    TExt record;
    record.Name = name;
    record.MenuFlag = extension && popup ? 1 : 0;
    (extension ? NFile->Extensions : NFile->Categories).AddNew(record);
    Changed = true;
    UpdateCheckAllButtons();
}

void TfrmAddExe::DeleteHighlighted(bool extension) {
    ui::CheckListBox& list = extension ? clbExt : clbShurui;
    const int index = list.itemIndex();
    if (index < 0 || index >= list.itemCount()) return;
    const std::string name = list.item(index);
    list.deleteItem(index);
    if (extension) {
        NFile->DeleteExtension(name);
    } else {
        NFile->DeleteCategory(name);
    }
    Changed = true;
    UpdateCheckAllButtons();
}

void TfrmAddExe::sbShuAddClick() { AddName(false); }
void TfrmAddExe::sbExtAddClick() { AddName(true); }
void TfrmAddExe::sbShuDelClick() { DeleteHighlighted(false); }
void TfrmAddExe::sbExtDelClick() { DeleteHighlighted(true); }

void TfrmAddExe::UpdateCheckAll(ui::CheckListBox& list, ui::SpeedButton& button) {
    if (list.allChecked()) {
        button.setGlyph(imLed[0]);
        button.setTag(1);
        button.setHint(kHintClearAll);
    } else {
        button.setGlyph(imLed[2]);
        button.setTag(0);
        button.setHint(kHintCheckAll);
    }
}

void TfrmAddExe::UpdateCheckAllButtons() {
    UpdateCheckAll(clbShurui, sbShuAll);
    UpdateCheckAll(clbExt, sbExtAll);
}

void TfrmAddExe::CheckAll(ui::CheckListBox& list, ui::SpeedButton& button) {
    const bool mark = button.tag() == 0;
    for (int i = 0; i < list.itemCount(); ++i) list.setChecked(i, mark);
    Changed = true;
    UpdateCheckAll(list, button);
}

void TfrmAddExe::sbShuAllClick() { CheckAll(clbShurui, sbShuAll); }
void TfrmAddExe::sbExtAllClick() { CheckAll(clbExt, sbExtAll); }

void TfrmAddExe::clbShuruiClickCheck() {
    Changed = true;
    UpdateCheckAll(clbShurui, sbShuAll);
}

void TfrmAddExe::clbExtClickCheck() {
    Changed = true;
    UpdateCheckAll(clbExt, sbExtAll);
}

void TfrmAddExe::edExeNameChange() { Changed = true; }

void TfrmAddExe::edTitleChange() {
    Changed = true;
    const std::string& text = edTitle.text();
    if (text.size() <= kTitleBytes) return;
    // The catalogue keeps 39 bytes of a title: the field keeps the whole
    // characters that fit, and the user is told why the rest went.
    edTitle.setText(std::string(sjis::CutToBytes(text, kTitleBytes)));
    ui::App().messageBox(kMsgTooLong, kCaptionAddExe, ui::MsgIcon::Warning);
}

}  // namespace kumoya
