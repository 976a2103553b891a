// The extension page of the management window: for one extension at a time,
// the programs that open its files, highest priority first. Here the user
// adds extensions, moves programs up and down, takes a program off an
// extension and decides whether the programs are offered for choice.
#include <cstdint>
#include <string>
#include <vector>

#include "manager/form_helpers.h"
#include "manager/input_form.h"
#include "manager/main_form.h"
#include "platform/text.h"

namespace kumoya {

namespace {

// A 16 x 16 arrow for the priority buttons, as a .bmp file: black on a
// background colour that the button turns into its face (the colour of the
// bottom-left pixel).
ui::Bitmap ArrowGlyph(bool up) {
    constexpr int kSize = 16;
    constexpr int kRowBytes = kSize * 3;  // 24 bits a pixel, already a multiple of 4
    constexpr std::uint32_t kPixels = kSize * kRowBytes;
    std::vector<std::uint8_t> bmp(14 + 40 + kPixels, 0);
    auto put32 = [&bmp](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bmp[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, static_cast<std::uint32_t>(bmp.size()));
    put32(10, 14 + 40);
    put32(14, 40);
    put32(18, kSize);
    put32(22, kSize);  // stored bottom-up
    bmp[26] = 1;       // planes
    bmp[28] = 24;      // bits a pixel
    put32(34, kPixels);
    for (int y = 0; y < kSize; ++y) {  // y counts from the top
        // A triangle six rows high, two pixels wide at its tip.
        const int k = up ? y - 5 : 10 - y;
        for (int x = 0; x < kSize; ++x) {
            const bool arrow = y >= 5 && y <= 10 && k >= 0 && x >= 7 - k && x <= 8 + k;
            std::uint8_t* p = &bmp[14 + 40 + static_cast<std::size_t>((kSize - 1 - y) * kRowBytes + x * 3)];
            if (!arrow) {  // olive background: blue, green, red
                p[0] = 0x00;
                p[1] = 0x80;
                p[2] = 0x80;
            }
        }
    }
    return ui::Bitmap::FromBytes(std::move(bmp), up ? "arrow-up" : "arrow-down");
}

}  // namespace

void TfrmMain::BuildExtensionPage() {
    cmbExt.setBounds(8, 10, 200, 20);
    cmbExt.OnChange = [this] { cmbExtChange(); };
    chkPopUp.setBounds(220, 12, 210, 17);
    chkPopUp.setCaption("起動時に選択できるようにする");
    chkPopUp.OnClick = [this] { chkPopUpClick(); };
    PlaceButton(btExtAdd, 440, 8, 100, "拡張子の追加", "新規の拡張子を追加します。");
    btExtAdd.OnClick = [this] { btExtAddClick(); };
    lvExt.setBounds(8, 40, 390, 222);
    lvExt.addColumn("タイトル", 300);
    lvExt.setShowColumnHeaders(false);
    lvExt.setEditLabels(true);
    lvExt.setSmallImages(&ilIcon);
    lvExt.setPopupMenu(&PopupMenu1);
    lvExt.OnSelectItem = [this](int index, bool) { lvExtSelectItem(index); };
    lvExt.OnDblClick = [this] { lvExtDblClick(); };
    lvExt.OnEdited = [this](int index, std::string& text) { lvExtEdited(index, text); };
    sbExtUp.setBounds(405, 110, 28, 28);
    sbExtUp.setGlyph(ArrowGlyph(true));
    sbExtUp.setHint("優先順位をあげます。");
    sbExtUp.OnClick = [this] { sbExtUpClick(); };
    sbExtDown.setBounds(405, 144, 28, 28);
    sbExtDown.setGlyph(ArrowGlyph(false));
    sbExtDown.setHint("優先順位を下げます。");
    sbExtDown.OnClick = [this] { sbExtDownClick(); };
    PlaceButton(btEExecute, 440, 40, 100, "プログラムの起動", "選択されているプログラムを起動します。");
    btEExecute.OnClick = [this] { lvExtDblClick(); };
    PlaceButton(btEProgAdd, 440, 72, 100, "プログラムの追加", "新規のプログラムを追加します");
    btEProgAdd.OnClick = [this] { btEProgAddClick(); };
    PlaceButton(btEProgDel, 440, 104, 100, "プログラムの削除", "選択されているプログラムを削除します。");
    btEProgDel.OnClick = [this] { btEProgDelClick(); };
    PlaceButton(btESupport, 440, 237, 100, "サポートHPへ", "サポートしているホームページがあれば開くことが出来ます。");
    btESupport.setEnabled(false);
    btESupport.OnClick = [this] { btESupportClick(); };
}

TExt* TfrmMain::CurrentExtension() {
    TExt* ext = nullptr;
    if (cmbExt.itemIndex() < 0) return nullptr;
    if (nfile().Extensions.FindByName(cmbExt.text(), ext) != 0) return nullptr;
    return ext;
}

void TfrmMain::LoadExtensionPage() {
    std::vector<std::string> names;
    for (int i = 0; i < nfile().Extensions.Count(); ++i) names.push_back(nfile().Extensions.At(i).Name);
    cmbExt.setItems(std::move(names));
    const int index = nfile().Head.ExtensionIndex;
    if (index != -1) {
        cmbExt.setItemIndex(index);
        cmbExtChange();
    }
}

void TfrmMain::cmbExtChange() {
    TExt* ext = CurrentExtension();
    if (!ext) {
        chkPopUp.setEnabled(false);
        return;
    }
    chkPopUp.setEnabled(true);
    // Showing the flag is no change of it.
    showingExtension_ = true;
    chkPopUp.setChecked(ext->MenuFlag == 1);
    showingExtension_ = false;
    FillProgramList(lvExt, *ext);
    nfile().Head.ExtensionIndex = cmbExt.itemIndex();
    if (lvExt.itemCount() > 0) {
        lvExt.setSelected(0);
        lvExtSelectItem(0);
    }
    if (PageControl1.activePage() == &tabExt && visible()) lvExt.setFocus();
}

void TfrmMain::chkPopUpClick() {
    if (showingExtension_) return;
    TExt* ext = CurrentExtension();
    if (!ext) return;
    ext->MenuFlag = chkPopUp.checked() ? 1 : 0;
}

void TfrmMain::lvExtSelectItem(int index) { FollowSelection(lvExt, btESupport, kPageExtensions, index); }

void TfrmMain::lvExtDblClick() {
    TProg* prog = SelectedProgram(kPageExtensions);
    if (!prog) return;
    prog->Params.clear();
    nfile().Launch(std::nullopt, *prog);
}

void TfrmMain::lvExtEdited(int index, std::string& text) { EditTitleInList(lvExt, index, text); }

void TfrmMain::btESupportClick() { OpenSupportPage(SelectedProgram(kPageExtensions)); }

void TfrmMain::btEProgAddClick() {
    context_.RunRegistration(RegistrationRequest::ForSearch(this));
    LoadCategoryPage();
    LoadExtensionPage();
}

void TfrmMain::btEProgDelClick() {
    const int index = lvExt.selected();
    TProg* prog = ProgramOfItem(lvExt, index);
    TExt* ext = CurrentExtension();
    if (!prog || !ext) return;
    ext->RemoveProg(prog->Id);
    // Its parameter for this extension goes with it; those for others stay.
    THist* params = nullptr;
    if (nfile().ExtParams.FindByProg(prog->Id, params) == 0) params->RemoveItem(ext->Name);
    lvExt.deleteItem(index);
}

void TfrmMain::btExtAddClick() {
    std::string name;
    bool popup = false;
    {
        TfrmInput input(this);
        // An extension is plain letters: no input method.
        input.edValue.setImeEnabled(false);
        input.Ask(kPromptAddExtension, kCaptionAddExtension, name, &popup, kCheckAddExtension);
        if (input.Cancelled) return;
    }
    name = sjis::UpperAscii(name);
    if (TrimmedBlanks(name).empty()) return;
    for (const std::string& existing : cmbExt.items())
        if (sjis::EqualsIgnoreCase(existing, name)) return;
    if (nfile().Extensions.IndexOf(name) >= 0) return;
    if (name.size() > kExtensionNameBytes) {
        // The catalogue keeps 31 bytes of a name; a longer one would come
        // back cut, and then stand for another extension.
        ui::App().messageBox(kMsgExtensionTooLong, kCaptionAddExtension, ui::MsgIcon::Error);
        return;
    }
    TExt ext;
    ext.Name = name;
    ext.MenuFlag = popup ? 1 : 0;
    if (nfile().Extensions.AddNew(ext) != 0) return;
    nfile().Extensions.Sort();
    // The drop-down follows the catalogue's alphabetical order. The extension
    // shown stays shown and chosen, and the stored position follows it, so
    // that the next start opens on the same extension.
    const std::string shown = cmbExt.itemIndex() >= 0 ? cmbExt.text() : std::string();
    std::vector<std::string> names;
    for (int i = 0; i < nfile().Extensions.Count(); ++i) names.push_back(nfile().Extensions.At(i).Name);
    cmbExt.setItems(std::move(names));
    if (!shown.empty()) {
        const int position = cmbExt.indexOf(shown);
        cmbExt.setItemIndex(position);
        nfile().Head.ExtensionIndex = position;
    } else {
        cmbExt.setItemIndex(-1);
    }
}

void TfrmMain::sbExtUpClick() { MoveInExtension(-1); }

void TfrmMain::sbExtDownClick() { MoveInExtension(+1); }

void TfrmMain::MoveInExtension(int step) {
    const int from = lvExt.selected();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= lvExt.itemCount()) return;
    TExt* ext = CurrentExtension();
    TProg* moved = ProgramOfItem(lvExt, from);
    TProg* other = ProgramOfItem(lvExt, to);
    if (!ext || !moved || !other) return;
    // The rows stand for positions of ProgIds only while every number has its
    // program (a number without one shows no row): exchange the two programs
    // where they are in ProgIds.
    const int a = ext->IndexOfProg(moved->Id);
    const int b = ext->IndexOfProg(other->Id);
    if (a < 0 || b < 0 || ext->SwapProgs(a, b) != 0) return;
    cmbExtChange();
    // The moved program stays selected, wherever the refill put it.
    for (int i = 0; i < lvExt.itemCount(); ++i) {
        if (ProgramOfItem(lvExt, i) == moved) {
            lvExt.setSelected(i);
            lvExtSelectItem(i);
            break;
        }
    }
}

}  // namespace kumoya
