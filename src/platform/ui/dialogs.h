// The system's common dialogs and the plain input box.
//
//   ui::OpenDialog OpenDialog1{*this};            // member of the owner form
//   if (OpenDialog1.execute()) edPath.setText(OpenDialog1.fileName());
//
//   ui::FolderBrowser browse{*this};
//   browse.setTitle("...");
//   browse.setInitialFolder("C:\\Games\\");
//   browse.OnSelectionChanged = [](const std::string& folder, std::string& status) { status = folder; };
//   if (browse.execute()) mmSearchPath.setText(browse.folder() + "\\");
//
//   std::string user;
//   if (ui::InputQuery("caption", "prompt", user)) ...
//
// Each waits until the user has answered. Paths are Shift_JIS; a file or
// folder the user picks whose name has no Shift_JIS form is refused with a
// message and counts as cancelled. Headless tests script the answers
// (HeadlessBackend::answerOpenFile, onNextFolderBrowse, answerInputBox).
#pragma once

#include <functional>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/form.h"

namespace kumoya::ui {

// What an open-file dialog asks; every file is offered (no filter).
struct OpenFileRequest {
    std::string title;       // "" for the system's
    std::string initialDir;  // "" for the system's choice
    std::string fileName;    // in: proposed; out: the chosen file's full path
};

struct FolderBrowseRequest {
    std::string title;          // the text above the folder tree
    std::string initialFolder;  // selected when the dialog opens ("" for none)
    // The selection moved to `folder` (a file-system folder, or "" for a
    // place that is none); `status` is the text of the status line.
    std::function<void(const std::string& folder, std::string& status)> OnSelectionChanged;
    std::string folder;  // out: the folder chosen, without a trailing "\"
                         // (a drive's root keeps its own)
};

class OpenDialog {
public:
    explicit OpenDialog(Form& owner) : owner_(owner) {}

    const std::string& title() const { return request_.title; }
    void setTitle(std::string title) { request_.title = std::move(title); }
    const std::string& initialDir() const { return request_.initialDir; }
    void setInitialDir(std::string dir) { request_.initialDir = std::move(dir); }
    // The file chosen by the last execute(), or the one to propose.
    const std::string& fileName() const { return request_.fileName; }
    void setFileName(std::string name) { request_.fileName = std::move(name); }

    // Shows the dialog; true when the user chose a file.
    bool execute();

private:
    Form& owner_;
    OpenFileRequest request_;
};

class FolderBrowser {
public:
    explicit FolderBrowser(Form& owner) : owner_(owner) {}

    void setTitle(std::string title) { request_.title = std::move(title); }
    const std::string& title() const { return request_.title; }
    void setInitialFolder(std::string folder) { request_.initialFolder = std::move(folder); }
    const std::string& initialFolder() const { return request_.initialFolder; }
    // The folder chosen by the last execute().
    const std::string& folder() const { return request_.folder; }

    std::function<void(const std::string& folder, std::string& status)> OnSelectionChanged;

    // Shows the dialog (with a status line, file-system folders only);
    // true when the user chose a folder.
    bool execute();

private:
    Form& owner_;
    FolderBrowseRequest request_;
};

// The plain input box: a caption, a prompt, one edit and OK / Cancel. Enter
// presses OK, Escape Cancel.
class InputBoxForm : public Form {
public:
    InputBoxForm(const std::string& caption, const std::string& prompt, const std::string& value);
    Label lbPrompt{*this};
    Edit edValue{*this};
    Button btOk{*this};
    Button btCancel{*this};
};

// Asks for one line; true and `value` set when the user confirmed, false and
// `value` unchanged when he cancelled. `value` is also the starting text.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

}  // namespace kumoya::ui
