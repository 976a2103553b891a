// The application object: title, help file, main form, the message loop,
// message boxes, the cursor position and the top-level exception handler.
// One per process, reached through App(). Texts are Shift_JIS.
//
//   int Run() {
//       return ui::Application::Protect([] {
//           ui::App().setTitle("Kumoya");
//           ui::App().setHelpFile("Zelkova.hlp");
//           TfrmTitle title;
//           ui::App().run(title);
//       });
//   }
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "platform/ui/backend.h"

namespace kumoya::ui {

class Application {
public:
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::string& helpFile() const { return helpFile_; }
    void setHelpFile(std::string file) { helpFile_ = std::move(file); }
    // Asks the help viewer (platform/help.h) to act on the help file, which
    // is taken beside the program unless it names a folder: `command` is a
    // help command (kHelpContents, kHelpContext, ...), `data` the topic's
    // context number for kHelpContext. When no help can be shown the user
    // is told so. False then, and without a help file.
    bool showHelp(unsigned command, std::uintptr_t data);
    // F1: the topic `context`, or the contents for 0.
    bool showHelp(int context);
    Form* mainForm() const { return mainForm_; }

    // Makes `form` the main form, shows it and runs the message loop until
    // terminate() or the main form closes.
    void run(Form& form);
    // Handles every pending message and returns at once.
    void processMessages();
    // Runs `work` on the user-interface thread, from the message loop. The
    // one call a worker thread may make.
    void post(std::function<void()> work);
    // Ends the message loop (and any modal run) at the next chance.
    void terminate();
    bool terminated() const { return terminated_; }

    Point cursorPos();
    // See UiBackend::screenSize and frameSize.
    Size screenSize();
    Size frameSize(const Form& form);
    // Caption "" means the application title.
    DialogResult messageBox(const std::string& text, const std::string& caption, MsgIcon icon = MsgIcon::None,
                            MsgButtons buttons = MsgButtons::Ok);

    // The handler of an event handler's unexpected exception: shows its text
    // in a message box with the stop icon; the run goes on.
    void handleException(std::exception_ptr error) noexcept;
    // The program entry's handler: runs `body`; an exception that escapes it
    // is shown the same way and ends the run. Answers 0, or 1 after an
    // exception.
    static int Protect(const std::function<void()>& body) noexcept;

    // Forgets the main form and a terminate request (a new run, or a test).
    void reset();
    // Called by a main form that is being destroyed.
    void formGone(const Form& form);

private:
    std::string title_;
    std::string helpFile_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
};

Application& App();

}  // namespace kumoya::ui
