// Small helpers the management window's pages share.
#pragma once

#include <string>

#include "platform/ui/ui.h"

namespace kumoya {

// The text without the blanks and control characters around it.
inline std::string TrimmedBlanks(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    return text.substr(begin, end - begin);
}

// A push button of the pages: 25 pixels high.
inline void PlaceButton(ui::Button& button, int left, int top, int width, const char* caption, const char* hint) {
    button.setBounds(left, top, width, 25);
    button.setCaption(caption);
    button.setHint(hint);
}

}  // namespace kumoya
