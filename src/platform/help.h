// The help. The program asks for its help file with WinHelp's commands: the
// contents, the finder, a topic by context number, help on help. WinHelp
// shows the file only where a WinHelp viewer still exists (not on Windows 10
// and later); everywhere else the same request opens a page of the HTML help
// that ships in the folder "help" beside the help file, in the user's browser.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/service.h"

namespace kumoya::platform {

// WinHelp commands the program uses.
inline constexpr unsigned kHelpContext = 1;     // the topic with a context number
inline constexpr unsigned kHelpContents = 3;    // the contents topic
inline constexpr unsigned kHelpHelpOnHelp = 4;  // how to use help
inline constexpr unsigned kHelpFinder = 11;     // the finder (keyword search)

class Help {
public:
    virtual ~Help() = default;
    // Asks the help viewer to act on `file`; `data` is the context number for
    // kHelpContext and 0 otherwise. True when the viewer took the request.
    virtual bool Open(std::string_view file, unsigned command, std::uintptr_t data) = 0;
};
template <> Help& Service<Help>::Default();

inline Help& SystemHelp() { return Service<Help>::Get(); }

// The topics of the help, by context number, with their HTML pages.
struct HelpTopic {
    int context;
    const char* page;
};
// Every topic a window or the help menu asks for.
const HelpTopic* HelpTopics(std::size_t& count);

// The HTML help beside `helpFile` ("C:\Kumoya\Zelkova.hlp" gives
// "C:\Kumoya\help\"), with the trailing backslash.
std::string HtmlHelpFolder(std::string_view helpFile);
// The page (a file name in that folder) for a help command; the contents
// page for a context number without a page of its own.
std::string HtmlHelpPage(unsigned command, std::uintptr_t data);
// Opens that page through the shell (the user's browser); the contents page
// when the page itself is missing. False when neither is there or the shell
// refused.
bool OpenHtmlHelp(std::string_view helpFile, unsigned command, std::uintptr_t data);

}  // namespace kumoya::platform
