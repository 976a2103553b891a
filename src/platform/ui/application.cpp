#include "platform/ui/application.h"

#include <cstdio>
#include <stdexcept>

#include "platform/files.h"
#include "platform/help.h"
#include "platform/text.h"
#include "platform/ui/form.h"

namespace kumoya::ui {

Application& App() {
    static Application app;
    return app;
}

void Application::run(Form& form) {
    mainForm_ = &form;
    terminated_ = false;
    form.show();
    if (terminated_) return;
    Backend().runMessageLoop();
}

void Application::processMessages() { Backend().processMessages(); }

void Application::post(std::function<void()> work) { Backend().post(std::move(work)); }

void Application::terminate() {
    terminated_ = true;
    Backend().terminate();
}

bool Application::showHelp(unsigned command, std::uintptr_t data) {
    if (helpFile_.empty()) return false;
    std::string file = helpFile_;
    if (sjis::LastSeparator(file) == std::string::npos && file.find(':') == std::string::npos)
        file = platform::ProgramFolder() + file;
    if (platform::SystemHelp().Open(file, command, data)) return true;
    messageBox("ヘルプを表示できません。\n" + platform::HtmlHelpFolder(file) + " をご確認ください。", "", MsgIcon::Error);
    return false;
}

bool Application::showHelp(int context) {
    if (context <= 0) return showHelp(platform::kHelpContents, 0);
    return showHelp(platform::kHelpContext, static_cast<std::uintptr_t>(context));
}

Point Application::cursorPos() { return Backend().cursorPos(); }
Size Application::screenSize() { return Backend().screenSize(); }
Size Application::frameSize(const Form& form) { return Backend().frameSize(form); }

DialogResult Application::messageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                                     MsgButtons buttons) {
    return Backend().messageBox(text, caption.empty() ? title_ : caption, icon, buttons);
}

void Application::handleException(std::exception_ptr error) noexcept {
    std::string text = "Unexpected error";
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    try {
        messageBox(text, title_, MsgIcon::Error, MsgButtons::Ok);
    } catch (...) {
        // No way left to show it; at least say it on the error stream.
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

int Application::Protect(const std::function<void()>& body) noexcept {
    try {
        body();
        return 0;
    } catch (...) {
        App().handleException(std::current_exception());
        try {
            App().terminate();
        } catch (...) {
        }
        return 1;
    }
}

void Application::reset() {
    mainForm_ = nullptr;
    terminated_ = false;
}

void Application::formGone(const Form& form) {
    if (mainForm_ == &form) mainForm_ = nullptr;
}

}  // namespace kumoya::ui
