#include "net/smtp_reply.h"

namespace kumoya::net {

SmtpReply::State SmtpReply::AddLine(std::string_view line) {
    if (state_ != State::Incomplete) return state_;
    auto fail = [&](std::string why) {
        state_ = State::Failed;
        error_ = std::move(why);
        return state_;
    };
    if (lines_.size() >= maxLines_) return fail("reply longer than " + std::to_string(maxLines_) + " lines");
    if (line.size() < 3 || line[0] < '2' || line[0] > '5' || line[1] < '0' || line[1] > '9' || line[2] < '0' ||
        line[2] > '9')
        return fail("reply line without a code: " + std::string(line.substr(0, 80)));
    int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (lines_.empty()) firstCode_ = code;
    else if (code != firstCode_) return fail("reply lines with different codes");
    lines_.emplace_back(line);
    if (line.size() > 3 && line[3] == '-') return state_;
    if (line.size() > 3 && line[3] != ' ') return fail("reply line with a malformed code: " + std::string(line.substr(0, 80)));
    code_ = code;
    state_ = State::Complete;
    return state_;
}

std::string SmtpReply::text() const {
    std::string out;
    for (const auto& l : lines_) {
        if (!out.empty()) out += " / ";
        out += l;
    }
    return out;
}

}  // namespace kumoya::net
