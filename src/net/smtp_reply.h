// One SMTP reply, read line by line: "250-first", "250-second", "250 last".
// A line whose code is followed by "-" announces another line; a line of the
// code alone, or the code and a blank, ends the reply.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kumoya::net {

class SmtpReply {
public:
    enum class State { Incomplete, Complete, Failed };

    explicit SmtpReply(std::size_t maxLines) : maxLines_(maxLines) {}

    // Adds one line (without its line end).
    State AddLine(std::string_view line);

    State state() const { return state_; }
    // The reply's code (of its last line), 0 until complete.
    int code() const { return code_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // The reply as one text, its lines joined by " / ", for error messages.
    std::string text() const;
    const std::string& error() const { return error_; }

private:
    std::size_t maxLines_;
    std::vector<std::string> lines_;
    State state_ = State::Incomplete;
    int code_ = 0;
    int firstCode_ = 0;
    std::string error_;
};

}  // namespace kumoya::net
