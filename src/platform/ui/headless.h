// The headless backend: the control model without any window, for the Linux
// build and for tests. Tests act as the user through the controls' entry
// points (or the checked helpers at the end of this file) and script what
// would otherwise wait for a person: popup menus, message boxes, modal forms.
//
//   ui::HeadlessUi ui;                                // fresh backend + App()
//   ui->choosePopupEntry({"Tools", "Editor"});        // next popup: this entry
//   ui->answerMessageBox(ui::DialogResult::Yes);      // next message box
//   ui->onNextModal<TfrmInput>([](TfrmInput& f) {     // next modal form
//       ui::Type(f.edValue, "Games");
//       ui::Click(f.btOk);
//   });
//   ui->answerInputBox("user");                       // next input box: type, OK
//   ui->answerOpenFile("C:\\Apps\\a.exe");              // next open-file dialog
//   ui->onNextFolderBrowse([](ui::FolderBrowseSession& s) {
//       s.select("C:\\Games");  return true;          // move the selection, choose
//   });
//   ui->advanceTime(1000);                            // timers due meanwhile tick
//   ... run the window code ...
//   EXPECT_EQ(ui->messageBoxes().at(0).caption, "...");
//   EXPECT_EQ(ui->unusedScript(), "");
//
// A popup menu or a modal form shown without a script, or a message box with
// a choice and no queued answer, throws std::logic_error: the test forgot to
// say what the user does. An OK-only message box without a queued answer is
// answered OK. Posted work (deferred closes, menu clicks) runs in
// processMessages(); the message loop runs until terminate() or until nothing
// is pending.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/service.h"
#include "platform/ui/backend.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/menu.h"

namespace kumoya::ui {

// The test's script does not fit what the window did. It passes through the
// message loop's exception handler to the test, where a window's own
// exception would be shown in a message box.
class ScriptError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

struct ShownMessageBox {
    std::string text;
    std::string caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    DialogResult answer = DialogResult::None;
};

struct ShownPopup {
    const PopupMenu* menu = nullptr;
    Point at;
    std::vector<std::string> chosen;  // caption path of the entry; empty when dismissed
};

struct ShownOpenFile {
    std::string title;
    std::string initialDir;
    std::string chosen;  // "" when cancelled
};

struct ShownFolderBrowse {
    std::string title;
    std::string initialFolder;
    std::vector<std::string> statusTexts;  // the status line after each selection change
    std::string chosen;                    // "" when cancelled
};

struct ShownInputBox {
    std::string caption;
    std::string prompt;
    std::string start;
};

// The user in an open folder-browse dialog (HeadlessBackend::onNextFolderBrowse).
class FolderBrowseSession {
public:
    explicit FolderBrowseSession(FolderBrowseRequest& request, ShownFolderBrowse& shown)
        : request_(request), shown_(shown) {}
    const FolderBrowseRequest& request() const { return request_; }
    // Moves the selection; answers the status line it leads to.
    std::string select(const std::string& folder);
    const std::string& selected() const { return selected_; }

private:
    FolderBrowseRequest& request_;
    ShownFolderBrowse& shown_;
    std::string selected_;
};

class HeadlessBackend : public UiBackend {
public:
    using UiBackend::createPeer;
    using PopupAction = std::function<MenuItem*(PopupMenu&)>;

    // ---- the script ----
    void answerMessageBox(DialogResult answer) { answers_.push_back(answer); }
    // The next popup: the user picks the entry reached through these
    // captions (top level first), or dismisses the menu, or `action` decides.
    void choosePopupEntry(std::vector<std::string> captionPath);
    void dismissPopup();
    void onNextPopup(PopupAction action) { popupActions_.push_back(std::move(action)); }
    // The next modal form: `action` acts on it and must end it (a button with
    // a modal result, setModalResult, or close()).
    void onNextModal(std::function<void(Form&)> action) { modalActions_.push_back(std::move(action)); }
    template <class F>
    void onNextModal(std::function<void(F&)> action) {
        onNextModal([action = std::move(action)](Form& form) {
            auto* typed = dynamic_cast<F*>(&form);
            if (!typed) throw ScriptError("headless: the modal form is not of the scripted type");
            action(*typed);
        });
    }
    template <class F, class Fn>
    void onNextModal(Fn&& action) {
        onNextModal<F>(std::function<void(F&)>(std::forward<Fn>(action)));
    }
    // The next open-file dialog: the user picks `path`, or cancels (nullopt).
    void answerOpenFile(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
    // The next folder browse: `action` moves the selection as the user
    // would (the starting folder is selected before it runs) and answers
    // true to choose the selected folder, false to cancel.
    void onNextFolderBrowse(std::function<bool(FolderBrowseSession&)> action) {
        folderActions_.push_back(std::move(action));
    }
    // The next input box: the user types `text` and presses OK, or cancels
    // (nullopt). Shares the queue of onNextModal.
    void answerInputBox(std::optional<std::string> text);
    // The display's colour depth (bits per pixel, all planes); 32 unless set.
    void setScreenColorBits(int bits) { screenColorBits_ = bits; }
    // Moves time on: the timers due meanwhile tick, in order.
    void advanceTime(int ms);
    void setCursorPos(Point at) { cursor_ = at; }
    void setScreenSize(Size size) { screen_ = size; }
    // The user clicks somewhere else: no form of ours is active.
    void deactivate() { active_ = nullptr; }
    void activate(Form& form) { active_ = &form; }

    // ---- what happened ----
    const std::vector<ShownMessageBox>& messageBoxes() const { return boxes_; }
    const std::vector<ShownPopup>& popups() const { return popups_; }
    int modalRuns() const { return modalRuns_; }
    const std::vector<ShownOpenFile>& openFileDialogs() const { return openFiles_; }
    const std::vector<ShownFolderBrowse>& folderBrowses() const { return folderBrowses_; }
    const std::vector<ShownInputBox>& inputBoxes() const { return inputBoxes_; }
    int runningTimers() const { return static_cast<int>(timers_.size()); }
    // Queued closes and menu commands, and work handed over from threads.
    int pendingMessages() const {
        std::lock_guard<std::mutex> lock(postedMutex_);
        return static_cast<int>(queue_.size() + posted_.size());
    }
    // Script entries never used, described; "" when all were used.
    std::string unusedScript() const;

    // ---- UiBackend ----
    HeadlessBackend();
    std::unique_ptr<Peer> createPeer(Form& form) override;
    // The media double (headless_more.h).
    std::unique_ptr<Peer> createPeer(MediaPlayer& player) override;
    void runMessageLoop() override;
    void processMessages() override;
    void terminate() override { terminated_ = true; }
    void postCloseRequest(Form& form) override;
    void postMenuCommand(Form& owner, int commandId) override;
    void forgetForm(Form& form) override;
    void runModal(Form& form) override;
    bool isActive(const Form& form) override { return active_ == &form; }
    MenuItem* trackPopup(PopupMenu& menu, Point at) override;
    void post(std::function<void()> work) override;
    void waitMessage(int timeoutMs) override;
    void startTimer(Timer& timer) override;
    void stopTimer(Timer& timer) override;
    int screenColorBits() override { return screenColorBits_; }
    bool openFile(Form* owner, OpenFileRequest& request) override;
    bool browseForFolder(Form* owner, FolderBrowseRequest& request) override;
    Point cursorPos() override { return cursor_; }
    Size screenSize() override { return screen_; }
    DialogResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                            MsgButtons buttons) override;

private:
    friend class HeadlessFormPeer;
    struct Posted {
        Form* form;
        std::function<void()> work;
    };
    bool runOne();

    std::deque<DialogResult> answers_;
    std::deque<PopupAction> popupActions_;
    std::deque<std::function<void(Form&)>> modalActions_;
    std::vector<ShownMessageBox> boxes_;
    std::vector<ShownPopup> popups_;
    std::deque<Posted> queue_;
    mutable std::mutex postedMutex_;
    std::condition_variable postedSignal_;
    std::deque<std::function<void()>> posted_;  // from any thread
    std::deque<std::optional<std::string>> fileAnswers_;
    std::deque<std::function<bool(FolderBrowseSession&)>> folderActions_;
    std::vector<ShownOpenFile> openFiles_;
    std::vector<ShownFolderBrowse> folderBrowses_;
    std::vector<ShownInputBox> inputBoxes_;
    int screenColorBits_ = 32;
    struct RunningTimer {
        std::int64_t due;
        std::uint64_t order;
    };
    std::map<Timer*, RunningTimer> timers_;
    std::int64_t now_ = 0;
    std::uint64_t timerOrder_ = 0;
    Point cursor_;
    Size screen_{1024, 768};
    Form* active_ = nullptr;
    bool terminated_ = false;
    int modalRuns_ = 0;
};

// Installs a fresh headless backend for its lifetime and resets App().
// Declare it before the forms of a test, so that it outlives them.
class HeadlessUi {
public:
    HeadlessUi();
    ~HeadlessUi();
    HeadlessUi(const HeadlessUi&) = delete;
    HeadlessUi& operator=(const HeadlessUi&) = delete;
    HeadlessBackend& backend() { return backend_; }
    HeadlessBackend* operator->() { return &backend_; }

private:
    HeadlessBackend backend_;
    platform::ScopedService<UiBackend> scope_;
};

// Acting as the user, with the checks a user's reach implies: the control
// must be visible and enabled, with every container above it up to its form,
// which must be shown; otherwise these throw std::logic_error.
void Click(Button& button);
void Click(CheckBox& box);
void Click(Image& image);
void Click(Panel& panel);
// Picks an item of the drop-down list / types into an editable combo box.
void Choose(ComboBox& box, int index);
void Type(ComboBox& box, std::string text);
// A mouse click on row `index` of the list (-1: beside the rows, which
// clears the selection), as the system reports it: the selection first,
// then the click.
void ClickItem(ListView& list, int index);
void Type(Edit& edit, std::string text);
// Answers whether the key reached the edit (a handler may swallow it).
// Enter and Escape that the edit lets through are the form's dialog keys
// (Form::userDialogKey), as on Windows.
bool PressKey(Edit& edit, int key);

}  // namespace kumoya::ui
