#include "platform/ui/headless.h"

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/threads.h"
#include "platform/ui/timer.h"

namespace kumoya::ui {

// Keeps the headless idea of the active form: the form shown last is
// active until it hides or the test says otherwise.
class HeadlessFormPeer : public Peer {
public:
    HeadlessFormPeer(HeadlessBackend& backend, Form& form) : backend_(backend), form_(form) {}
    void update(Prop what) override {
        if (what != Prop::Visible) return;
        if (form_.visible()) {
            backend_.active_ = &form_;
        } else if (backend_.active_ == &form_) {
            backend_.active_ = form_.owner();
        }
    }

private:
    HeadlessBackend& backend_;
    Form& form_;
};

namespace {

std::string Describe(const MenuItem& parent) {
    std::string list;
    for (int i = 0; i < parent.count(); ++i) {
        if (!parent.item(i).visible()) continue;
        if (!list.empty()) list += ", ";
        list += "\"" + parent.item(i).caption() + "\"";
    }
    return list.empty() ? "(none)" : list;
}

bool HasVisibleItems(const MenuItem& item) {
    for (int i = 0; i < item.count(); ++i) {
        if (item.item(i).visible()) return true;
    }
    return false;
}

const char* ResultName(DialogResult r) {
    switch (r) {
        case DialogResult::Ok: return "OK";
        case DialogResult::Cancel: return "Cancel";
        case DialogResult::Yes: return "Yes";
        case DialogResult::No: return "No";
        case DialogResult::None: break;
    }
    return "None";
}

bool Offers(MsgButtons buttons, DialogResult answer) {
    switch (buttons) {
        case MsgButtons::Ok: return answer == DialogResult::Ok;
        case MsgButtons::OkCancel: return answer == DialogResult::Ok || answer == DialogResult::Cancel;
        case MsgButtons::YesNo: return answer == DialogResult::Yes || answer == DialogResult::No;
        case MsgButtons::YesNoCancel:
            return answer == DialogResult::Yes || answer == DialogResult::No || answer == DialogResult::Cancel;
    }
    return false;
}

void CheckReachable(const Control& control, const char* what) {
    if (!control.reachable()) {
        throw ScriptError(std::string("headless: ") + what + " \"" + control.caption() +
                               "\" is hidden or disabled; a user could not reach it");
    }
}

}  // namespace

std::string FolderBrowseSession::select(const std::string& folder) {
    selected_ = folder;
    std::string status;
    if (request_.OnSelectionChanged) request_.OnSelectionChanged(folder, status);
    shown_.statusTexts.push_back(status);
    return status;
}

HeadlessBackend::HeadlessBackend() { detail::MarkUiThread(); }

void HeadlessBackend::answerInputBox(std::optional<std::string> text) {
    onNextModal<InputBoxForm>([this, text = std::move(text)](InputBoxForm& box) {
        inputBoxes_.push_back({box.caption(), box.lbPrompt.caption(), box.edValue.text()});
        if (text) {
            Type(box.edValue, *text);
            Click(box.btOk);
        } else {
            Click(box.btCancel);
        }
    });
}

void HeadlessBackend::advanceTime(int ms) {
    const std::int64_t end = now_ + (ms < 0 ? 0 : ms);
    for (;;) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (it->second.due > end) continue;
            if (next == timers_.end() || it->second.due < next->second.due ||
                (it->second.due == next->second.due && it->second.order < next->second.order)) {
                next = it;
            }
        }
        if (next == timers_.end()) break;
        Timer* timer = next->first;
        now_ = next->second.due;
        next->second.due += timer->interval();
        timer->userTick();  // may stop or destroy timers, this one included
    }
    now_ = end;
}

void HeadlessBackend::startTimer(Timer& timer) { timers_[&timer] = {now_ + timer.interval(), timerOrder_++}; }

void HeadlessBackend::stopTimer(Timer& timer) { timers_.erase(&timer); }

void HeadlessBackend::waitMessage(int timeoutMs) {
    std::unique_lock<std::mutex> lock(postedMutex_);
    if (!posted_.empty() || !queue_.empty()) return;
    postedSignal_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                           [this] { return !posted_.empty(); });
}

bool HeadlessBackend::openFile(Form*, OpenFileRequest& request) {
    if (fileAnswers_.empty()) throw std::logic_error("headless: open-file dialog shown without a scripted answer");
    std::optional<std::string> answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
    openFiles_.push_back({request.title, request.initialDir, answer.value_or("")});
    if (!answer) return false;
    request.fileName = *answer;
    return true;
}

bool HeadlessBackend::browseForFolder(Form*, FolderBrowseRequest& request) {
    if (folderActions_.empty()) throw std::logic_error("headless: folder browse shown without a scripted action");
    auto action = std::move(folderActions_.front());
    folderActions_.pop_front();
    folderBrowses_.push_back({request.title, request.initialFolder, {}, {}});
    ShownFolderBrowse& shown = folderBrowses_.back();
    FolderBrowseSession session(request, shown);
    if (!request.initialFolder.empty()) session.select(request.initialFolder);
    if (!action(session) || session.selected().empty()) return false;
    request.folder = session.selected();
    shown.chosen = request.folder;
    return true;
}

void HeadlessBackend::choosePopupEntry(std::vector<std::string> captionPath) {
    onNextPopup([path = std::move(captionPath)](PopupMenu& menu) -> MenuItem* {
        MenuItem* current = &menu.items();
        for (const std::string& caption : path) {
            MenuItem* next = current->find(caption);
            if (!next) {
                throw ScriptError("headless: no menu entry \"" + caption + "\"; entries: " + Describe(*current));
            }
            if (!next->enabled()) throw ScriptError("headless: menu entry \"" + caption + "\" is disabled");
            if (next != &menu.items() && HasVisibleItems(*next) && &caption != &path.back()) next->userPopup();
            current = next;
        }
        if (current == &menu.items()) throw ScriptError("headless: empty menu path");
        if (HasVisibleItems(*current)) {
            throw ScriptError("headless: \"" + current->caption() + "\" opens a submenu; entries: " +
                                   Describe(*current));
        }
        if (current->isSeparator()) throw ScriptError("headless: a separator cannot be chosen");
        return current;
    });
}

void HeadlessBackend::dismissPopup() {
    onNextPopup([](PopupMenu&) -> MenuItem* { return nullptr; });
}

std::string HeadlessBackend::unusedScript() const {
    std::string out;
    auto note = [&out](std::size_t n, const char* what) {
        if (n == 0) return;
        if (!out.empty()) out += "; ";
        out += std::to_string(n) + " " + what;
    };
    note(answers_.size(), "message box answer(s)");
    note(popupActions_.size(), "popup action(s)");
    note(modalActions_.size(), "modal form action(s)");
    note(fileAnswers_.size(), "open-file answer(s)");
    note(folderActions_.size(), "folder browse action(s)");
    return out;
}

std::unique_ptr<Peer> HeadlessBackend::createPeer(Form& form) {
    return std::make_unique<HeadlessFormPeer>(*this, form);
}

void HeadlessBackend::post(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        posted_.push_back(std::move(work));
    }
    postedSignal_.notify_all();
}

bool HeadlessBackend::runOne() {
    std::function<void()> fromThread;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        if (!posted_.empty()) {
            fromThread = std::move(posted_.front());
            posted_.pop_front();
        }
    }
    // As the native message loop does: an exception of a handler is shown
    // and the loop goes on.
    try {
        if (fromThread) {
            fromThread();
            return true;
        }
        if (queue_.empty()) return false;
        Posted posted = std::move(queue_.front());
        queue_.pop_front();
        posted.work();
    } catch (const ScriptError&) {
        throw;
    } catch (...) {
        App().handleException(std::current_exception());
    }
    return true;
}

void HeadlessBackend::runMessageLoop() {
    terminated_ = false;
    while (!terminated_ && runOne()) {
    }
}

void HeadlessBackend::processMessages() {
    while (runOne()) {
    }
}

void HeadlessBackend::postCloseRequest(Form& form) {
    queue_.push_back({&form, [&form] { form.userClose(); }});
}

void HeadlessBackend::postMenuCommand(Form& owner, int commandId) {
    queue_.push_back({&owner, [&owner, commandId] { owner.userMenuCommand(commandId); }});
}

void HeadlessBackend::forgetForm(Form& form) {
    std::erase_if(queue_, [&form](const Posted& p) { return p.form == &form; });
    if (active_ == &form) active_ = nullptr;
}

void HeadlessBackend::runModal(Form& form) {
    if (modalActions_.empty()) {
        throw ScriptError("headless: modal form \"" + form.caption() + "\" shown without a scripted action");
    }
    auto action = std::move(modalActions_.front());
    modalActions_.pop_front();
    ++modalRuns_;
    Form* previous = active_;
    form.show();
    action(form);
    processMessages();
    form.hide();
    active_ = previous;
    if (form.modalResult() == DialogResult::None) {
        throw ScriptError("headless: modal form \"" + form.caption() + "\" still open after its action");
    }
}

MenuItem* HeadlessBackend::trackPopup(PopupMenu& menu, Point at) {
    if (popupActions_.empty()) throw ScriptError("headless: popup menu shown without a scripted action");
    auto action = std::move(popupActions_.front());
    popupActions_.pop_front();
    ShownPopup shown{&menu, at, {}};
    MenuItem* chosen = action(menu);
    if (chosen) {
        for (MenuItem* item = chosen; item && item->parent(); item = item->parent()) {
            shown.chosen.insert(shown.chosen.begin(), item->caption());
        }
        postMenuCommand(menu.owner(), chosen->commandId());
    }
    popups_.push_back(std::move(shown));
    return chosen;
}

DialogResult HeadlessBackend::messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                                         MsgButtons buttons) {
    DialogResult answer = DialogResult::Ok;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    } else if (buttons != MsgButtons::Ok) {
        throw ScriptError("headless: no answer queued for the message box \"" + text + "\"");
    }
    if (!Offers(buttons, answer)) {
        throw ScriptError(std::string("headless: the message box \"") + text + "\" has no " +
                               ResultName(answer) + " button");
    }
    boxes_.push_back({text, caption, icon, buttons, answer});
    return answer;
}

HeadlessUi::HeadlessUi() : scope_(backend_) { App().reset(); }

HeadlessUi::~HeadlessUi() { App().reset(); }

void Click(Button& button) {
    CheckReachable(button, "button");
    button.userClick();
}

void Click(CheckBox& box) {
    CheckReachable(box, "check box");
    box.userClick();
}

void Click(Image& image) {
    CheckReachable(image, "image");
    image.userClick();
}

void Click(Panel& panel) {
    CheckReachable(panel, "panel");
    panel.userClick();
}

void Choose(ComboBox& box, int index) {
    CheckReachable(box, "combo box");
    if (index < 0 || index >= box.itemCount()) throw ScriptError("headless: the combo box has no such item");
    box.userSelect(index);
}

void Type(ComboBox& box, std::string text) {
    CheckReachable(box, "combo box");
    if (!box.editable()) throw ScriptError("headless: the combo box takes no typing");
    box.userSetText(std::move(text));
}

void ClickItem(ListView& list, int index) {
    CheckReachable(list, "list view");
    if (index < -1 || index >= list.itemCount()) throw ScriptError("headless: no such row to click");
    list.userSelect(index);
    list.userClick();
}

void Type(Edit& edit, std::string text) {
    CheckReachable(edit, "edit");
    if (edit.readOnly()) throw ScriptError("headless: the edit is read-only");
    edit.userSetText(std::move(text));
}

bool PressKey(Edit& edit, int key) {
    CheckReachable(edit, "edit");
    if (!edit.userKeyDown(key)) return false;
    if (key == kKeyReturn || key == kKeyEscape) {
        if (Form* form = edit.form()) form->userDialogKey(key);
    }
    return true;
}

}  // namespace kumoya::ui
