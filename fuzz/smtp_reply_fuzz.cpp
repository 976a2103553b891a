// The SMTP reply reader on arbitrary lines (the input split at LF). Checked
// against a plain restatement of the reply grammar: a reply is complete at the
// first line whose code is not followed by "-", every line starts with the
// same three-digit code, and the reader never holds more lines than allowed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "net/smtp_reply.h"

namespace {

using kumoya::net::SmtpReply;

void Check(bool ok) {
    if (!ok) std::abort();
}

bool HasCode(std::string_view l) {
    return l.size() >= 3 && l[0] >= '2' && l[0] <= '5' && l[1] >= '0' && l[1] <= '9' && l[2] >= '0' && l[2] <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(bytes), size);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    constexpr std::size_t kMax = 8;
    SmtpReply reply(kMax);
    std::size_t fed = 0;
    for (auto line : lines) {
        if (reply.AddLine(line) != SmtpReply::State::Incomplete) {
            ++fed;
            break;
        }
        ++fed;
    }

    // The same judgement, written out directly.
    SmtpReply::State expected = SmtpReply::State::Incomplete;
    for (std::size_t i = 0; i < fed; ++i) {
        std::string_view l = lines[i];
        if (i >= kMax || !HasCode(l) || l.substr(0, 3) != lines[0].substr(0, 3) ||
            (l.size() > 3 && l[3] != '-' && l[3] != ' ')) {
            expected = SmtpReply::State::Failed;
            break;
        }
        if (l.size() == 3 || l[3] == ' ') {
            expected = SmtpReply::State::Complete;
            break;
        }
    }
    Check(reply.state() == expected);
    Check(reply.lines().size() <= kMax);
    if (expected == SmtpReply::State::Complete) {
        Check(reply.code() == (lines[0][0] - '0') * 100 + (lines[0][1] - '0') * 10 + (lines[0][2] - '0'));
        Check(reply.lines().size() == fed);
    } else {
        Check(reply.code() == 0);
    }
    return 0;
}
