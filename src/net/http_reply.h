// Reader of an HTTP reply's status line and header, fed with bytes as they
// arrive. It stops after the empty line that ends the header, so the bytes
// after it (the start of the body) stay with the caller. Lines may end in
// CR LF or LF alone. Every line and the number of lines are bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kumoya::net {

class HttpReplyHead {
public:
    enum class State { Incomplete, Complete, Failed };

    HttpReplyHead(std::size_t maxLine, std::size_t maxLines) : maxLine_(maxLine), maxLines_(maxLines) {}

    // Reads from `data` up to the end of the header; answers the number of
    // bytes used (all of them while the header is incomplete; none once it
    // is complete or has failed).
    std::size_t Feed(const char* data, std::size_t size);

    State state() const { return state_; }
    // The number after the first blank of the status line.
    int statusCode() const { return statusCode_; }
    // "Content-Length", or -1 when the reply has none.
    std::int64_t contentLength() const { return contentLength_; }
    // What made the reader fail.
    const std::string& error() const { return error_; }

private:
    void Line(std::string_view line);
    void Fail(std::string why);

    std::size_t maxLine_, maxLines_;
    std::string line_;
    std::size_t lines_ = 0;
    State state_ = State::Incomplete;
    int statusCode_ = 0;
    std::int64_t contentLength_ = -1;
    std::string error_;
};

}  // namespace kumoya::net
