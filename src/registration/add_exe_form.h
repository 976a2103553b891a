// The registration dialog: adds one program to the catalogue, or changes a
// registered program's title, categories and extensions. It edits the live
// catalogue: categories and extensions it creates or deletes count at once,
// the program's own data when the user presses btAdd. Saving the catalogue is
// the run's business.
//
// Three ways in: ShowForFile (one program file, the search window stays
// hidden), ShowForSearch (the search window at its left supplies program
// files) and ShowForCatalogue (the same window lists the registered
// programs).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "catalogue/nfile.h"
#include "online/titles.h"
#include "platform/ui/controls_more.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/ui.h"
#include "registration/search_form.h"

namespace kumoya {

inline constexpr const char* kCaptionAddExe = "プログラムの追加";
inline constexpr const char* kCaptionChangeExe = "プログラムの変更";
inline constexpr const char* kMsgUnsaved = "情報が変更されていますが、保存されていません。\nよろしいですか？";
inline constexpr const char* kCaptionUnsaved = "プログラム";
inline constexpr const char* kMsgConfirmFirst = "追加・変更ボタンを押して情報を確定してください。";
inline constexpr const char* kCaptionConfirmFirst = "警告";
inline constexpr const char* kMsgNoTitle = "タイトルが入力されていません";
inline constexpr const char* kMsgProgramChanged = "追加されているプログラムの情報を変更しました。";
inline constexpr const char* kMsgProgramAdded = "プログラムを追加しました。";
inline constexpr const char* kMsgTooLong = "入力限界文字数を超えました。";

class TfrmAddExe : public ui::Form {
public:
    // FormCreate: the dialog and its search window.
    explicit TfrmAddExe(ui::Form* owner = nullptr);
    // FormDestroy.
    ~TfrmAddExe() override;

    // The three modes; each places the windows, runs the dialog modally and
    // answers its modal result.
    ui::DialogResult ShowForFile(const std::string& path);
    ui::DialogResult ShowForSearch();
    ui::DialogResult ShowForCatalogue();

    void PlaceWindows();
    void FormShow();
    // Shows the registered program of that path, if there is one (title and
    // marks); the path goes into edExeName in any case.
    void LoadProgram(const std::string& path);
    // Fills the title and the marks from a title database entry.
    void ApplyTitleEntry(const TFTitle& entry);
    void SearchListClick();
    void CatalogueListClick();
    // Fills the search window's list with the registered programs.
    void ListRegistered();

    void btAddClick();
    void btCloseClick();
    void btDlgOpenClick();
    void sbShuAddClick();
    void sbShuDelClick();
    void sbExtAddClick();
    void sbExtDelClick();
    void sbShuAllClick();
    void sbExtAllClick();
    void clbShuruiClickCheck();
    void clbExtClickCheck();
    void edExeNameChange();
    void edTitleChange();

    // Set by the caller before showing.
    TNFile* NFile = nullptr;
    TFAllTitle* AllTitle = nullptr;

    std::unique_ptr<TfrmSearch> SearchForm;
    // The row of the search window's list whose program the dialog shows;
    // -1 for none.
    int CurrentItem = -1;
    bool SingleFile = false;
    // Information changed and not yet stored.
    bool Changed = false;

    ui::Label lbExeName{*this};
    ui::Edit edExeName{*this};
    ui::Button btDlgOpen{*this};
    ui::Label lbTitle{*this};
    ui::Edit edTitle{*this};
    ui::Label lbShurui{*this};
    ui::CheckListBox clbShurui{*this};
    ui::SpeedButton sbShuAdd{*this};
    ui::SpeedButton sbShuDel{*this};
    ui::SpeedButton sbShuAll{*this};
    ui::Label lbExt{*this};
    ui::CheckListBox clbExt{*this};
    ui::SpeedButton sbExtAdd{*this};
    ui::SpeedButton sbExtDel{*this};
    ui::SpeedButton sbExtAll{*this};
    ui::Button btAdd{*this};
    ui::Button btClose{*this};
    ui::OpenDialog OpenDialog1{*this};
    // The check-all glyphs: image 0 when every item is marked, image 2 when
    // some are not (image 1 is the half-lit lamp, unused).
    std::array<ui::Bitmap, 3> imLed;

private:
    // The title database entry suggested for the program of ShowForFile.
    const TFTitle* pendingEntry_ = nullptr;
    // The caption of CurrentItem's row when it was shown, so that a list
    // filled anew since then is not mistaken for the same row.
    std::string currentCaption_;

    void UpdateCheckAll(ui::CheckListBox& list, ui::SpeedButton& button);
    void UpdateCheckAllButtons();
    void CheckAll(ui::CheckListBox& list, ui::SpeedButton& button);
    // Asks before leaving a changed program; false when the user stays.
    bool LeaveChangedRow();
    void AddName(bool extension);
    void DeleteHighlighted(bool extension);
};

}  // namespace kumoya
