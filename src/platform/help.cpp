#include "platform/help.h"

#include <iterator>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace kumoya::platform {
namespace {

// Context numbers are those the windows carry; the pages are in help/.
constexpr HelpTopic kTopics[] = {
    {5, "wizard-shortcuts.html"},     // wizard, shortcuts
    {9, "wizard-programs.html"},      // wizard, programs in the registry and on the desktop
    {15, "wizard-categories.html"},   // wizard, default categories
    {22, "wizard-network.html"},      // wizard, mail and proxy
    {29, "categories.html"},          // management window, category page
    {44, "extensions.html"},          // management window, extension page
    {49, "settings.html"},            // management window, settings page
    {59, "network.html"},             // management window, network page
    {65, "registration.html"},        // registration dialog
    {67, "search.html"},              // program file search
    {68, "search-conditions.html"},   // search conditions
    {93, "property.html"},            // property window
    {103, "tips.html"},               // the help menu's tips
};

constexpr const char* kContentsPage = "index.html";
constexpr const char* kKeywordPage = "keywords.html";
constexpr const char* kHelpOnHelpPage = "using-help.html";

}  // namespace

const HelpTopic* HelpTopics(std::size_t& count) {
    count = std::size(kTopics);
    return kTopics;
}

std::string HtmlHelpFolder(std::string_view helpFile) {
    std::size_t separator = sjis::LastSeparator(helpFile);
    std::string folder = separator == std::string_view::npos ? std::string() : std::string(helpFile.substr(0, separator + 1));
    return folder + "help\\";
}

std::string HtmlHelpPage(unsigned command, std::uintptr_t data) {
    switch (command) {
        case kHelpFinder: return kKeywordPage;
        case kHelpHelpOnHelp: return kHelpOnHelpPage;
        case kHelpContext:
            for (const HelpTopic& topic : kTopics) {
                if (static_cast<std::uintptr_t>(topic.context) == data) return topic.page;
            }
            return kContentsPage;
        default: return kContentsPage;
    }
}

bool OpenHtmlHelp(std::string_view helpFile, unsigned command, std::uintptr_t data) {
    const std::string folder = HtmlHelpFolder(helpFile);
    std::string page = folder + HtmlHelpPage(command, data);
    if (!FileExists(page)) page = folder + kContentsPage;
    if (!FileExists(page)) return false;
    return SystemShell().Open(page, "", "", true, 0);
}

}  // namespace kumoya::platform
