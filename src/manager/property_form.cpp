#include "manager/property_form.h"

#include <optional>

#include "platform/date_format.h"
#include "platform/text.h"

namespace kumoya {

std::string FormatLastLaunch(double value) {
    platform::DateParts parts = platform::DecodeDateTime(value);
    std::string text = platform::FormatShortDate(parts);
    if (parts.hour != 0 || parts.minute != 0 || parts.second != 0) text += " " + platform::FormatLongTime(parts);
    return text;
}

std::string ExtensionParameter(const TNFile& nfile, const TProg& prog, std::string_view extension) {
    THist* params = nullptr;
    if (extension.empty() || nfile.ExtParams.FindByProg(prog.Id, params) != 0) return {};
    std::vector<std::pair<std::string, const TvorParam*>> items;
    params->CopyItems(items);
    for (const auto& [name, param] : items) {
        if (sjis::EqualsIgnoreCase(name, extension)) return param ? param->Text : std::string();
    }
    return {};
}

namespace {

// One row: a caption on the left, the value beside it, on a sunken panel.
void LayOutRow(ui::Panel& row, int top, ui::Label& caption, const char* text, ui::Control& value) {
    row.setBounds(48, top, 360, 26);
    row.setBevel(ui::Bevel::Lowered);
    caption.setBounds(6, 6, 84, 14);
    caption.setCaption(text);
    value.setBounds(92, 6, 262, 14);
}

}  // namespace

TfrmProperty::TfrmProperty(ui::Form* owner, TNFile& nfile) : ui::Form(owner), nfile_(nfile) {
    setCaption("プロパティ");
    setHelpContext(93);
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons({true, true, false});
    setStayOnTop(true);
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(416, 125);

    imIcon.setBounds(8, 8, 32, 32);
    imIcon.setCursor(ui::Cursor::Hand);
    imIcon.setHint("クリックするとプログラムが立ち上がります。");
    imIcon.setEnabled(false);
    imIcon.OnClick = [this] { imIconClick(); };

    LayOutRow(pnlTitle, 4, lbLTitle, "タイトル：", edTitle);
    edTitle.setBounds(92, 5, 262, 16);
    edTitle.setBorder(false);
    edTitle.setParentColor(true);  // the button-face colour of its panel
    edTitle.setMaxLength(40);
    edTitle.setReadOnly(true);
    edTitle.setHint("Enterキー、Returnキーでタイトルが変更されます");
    LayOutRow(pnlPath, 34, lbLPath, "ファイル名：", lbPath);
    lbPath.setShowAccelChar(false);
    lbPath.setHint("ファイル名が表示されます");
    LayOutRow(pnlParam, 64, lbLParam, "パラメーター：", lbParam);
    lbParam.setShowAccelChar(false);
    lbParam.setHint("この拡張子を開くのに必要なパラメータです。");
    LayOutRow(pnlDate, 94, lbLDate, "最終起動日時：", lbDate);
    lbDate.setHint("最後に起動された時間です。");
}

void TfrmProperty::imIconClick() {
    if (!Program) return;
    Program->Params.clear();
    nfile_.Launch(std::nullopt, *Program);
}

}  // namespace kumoya
