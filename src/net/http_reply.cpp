#include "net/http_reply.h"

#include "platform/text.h"

namespace kumoya::net {
namespace {

// Header names, settings names: ASCII letters compared without case.
bool SameNoCase(std::string_view a, std::string_view b) { return sjis::EqualsIgnoreCase(a, b); }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::size_t HttpReplyHead::Feed(const char* data, std::size_t size) {
    std::size_t used = 0;
    while (used < size && state_ == State::Incomplete) {
        char c = data[used++];
        if (c == '\n') {
            std::string_view line = line_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            Line(line);
            line_.clear();
        } else if (line_.size() >= maxLine_ + 1) {  // room for a CR before the LF
            Fail("reply header line longer than " + std::to_string(maxLine_) + " bytes");
        } else {
            line_.push_back(c);
        }
    }
    return used;
}

void HttpReplyHead::Fail(std::string why) {
    state_ = State::Failed;
    error_ = std::move(why);
    line_.clear();
}

void HttpReplyHead::Line(std::string_view line) {
    if (++lines_ > maxLines_) return Fail("reply header longer than " + std::to_string(maxLines_) + " lines");
    if (lines_ == 1) {
        if (line.substr(0, 5) != "HTTP/") return Fail("not an HTTP status line");
        std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) return Fail("status line without a status code");
        std::string_view rest = line.substr(blank + 1);
        int code = 0, digits = 0;
        while (digits < static_cast<int>(rest.size()) && digits < 3 && rest[digits] >= '0' && rest[digits] <= '9')
            code = code * 10 + (rest[digits++] - '0');
        if (digits != 3 || (rest.size() > 3 && rest[3] != ' ' && rest[3] != '\t'))
            return Fail("status line without a three-digit status code");
        statusCode_ = code;
        return;
    }
    if (line.empty()) {
        state_ = State::Complete;
        return;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;  // not a field; nothing we need
    std::string_view name = Trim(line.substr(0, colon));
    std::string_view value = Trim(line.substr(colon + 1));
    if (SameNoCase(name, "Content-Length")) {
        if (value.empty() || value.size() > 18) return Fail("unreadable Content-Length");
        std::int64_t n = 0;
        for (char c : value) {
            if (c < '0' || c > '9') return Fail("unreadable Content-Length");
            n = n * 10 + (c - '0');
        }
        if (contentLength_ >= 0 && contentLength_ != n) return Fail("conflicting Content-Length fields");
        contentLength_ = n;
    } else if (SameNoCase(name, "Transfer-Encoding") && !SameNoCase(value, "identity")) {
        return Fail("unsupported Transfer-Encoding");
    }
}

}  // namespace kumoya::net
