#include "platform/shell.h"
#include "platform/text.h"

namespace kumoya::platform {

// The rules:
//   2n backslashes and a quote give n backslashes, and the quote opens or
//   closes a quoted part; 2n+1 backslashes and a quote give n backslashes and
//   a literal quote; backslashes before anything else stay as they are.
//   Consecutive quotes are counted: every third one is a literal quote, and
//   a run that leaves the count at two closes the quoted part.
std::vector<std::string> SplitCommandLine(std::string_view s) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (true) {
        while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i >= n) break;
        std::string arg;
        int quotes = 0;  // odd while inside quotes
        std::size_t backslashes = 0;
        while (i < n) {
            unsigned char c = static_cast<unsigned char>(s[i]);
            if ((c == ' ' || c == '\t') && quotes == 0) break;
            if (c == '\\') {
                arg += '\\';
                ++backslashes;
                ++i;
            } else if (c == '"') {
                if (backslashes % 2 == 0) {
                    arg.resize(arg.size() - backslashes / 2);
                    ++quotes;
                } else {
                    arg.resize(arg.size() - backslashes / 2 - 1);
                    arg += '"';
                }
                ++i;
                backslashes = 0;
                while (i < n && s[i] == '"') {
                    if (++quotes == 3) {
                        arg += '"';
                        quotes = 0;
                    }
                    ++i;
                }
                if (quotes == 2) quotes = 0;
            } else {
                std::size_t len = (sjis::IsLeadByte(c) && i + 1 < n) ? 2 : 1;
                arg.append(s.substr(i, len));
                i += len;
                backslashes = 0;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace kumoya::platform
