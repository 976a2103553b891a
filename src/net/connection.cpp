#include "net/connection.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kumoya::net {
namespace {

using platform::TcpSocket;

constexpr std::size_t kBufferSize = 64 * 1024;

// A name look-up that may outlive the wait for it: the helper thread keeps
// the shared state alive and simply finishes on its own after a time-out.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    std::vector<platform::SocketAddress> addresses;
    std::string error;
};

bool IsNumericHost(const std::string& host) {
    if (host.find(':') != std::string::npos) return true;  // IPv6 literal
    for (char c : host)
        if (!((c >= '0' && c <= '9') || c == '.')) return false;
    return !host.empty();
}

}  // namespace

Connection::Connection(int timeoutMs, const std::function<void()>& idle, const bool& abortRequested)
    : timeoutMs_(timeoutMs > 0 ? timeoutMs : 1), idle_(idle), abortRequested_(abortRequested), buffer_(kBufferSize) {}

void Connection::CheckAbort() const {
    if (abortRequested_) throw NetError("transfer aborted");
}

void Connection::Idle() {
    lastIdle_ = platform::MonotonicMs();
    if (idle_) idle_();
    CheckAbort();
}

void Connection::LimitWholeWait(int ms) { deadline_ = ms > 0 ? platform::MonotonicMs() + static_cast<std::uint64_t>(ms) : 0; }

void Connection::Wait(bool forWrite, const char* what) {
    std::uint64_t start = platform::MonotonicMs();
    std::uint64_t end = start + static_cast<std::uint64_t>(timeoutMs_);
    if (deadline_ != 0 && deadline_ < end) end = deadline_;
    for (;;) {
        CheckAbort();
        int rc = socket_.WaitReady(forWrite, kSliceMs);
        if (rc > 0) {
            // A stream that is always ready still lets the window breathe.
            if (platform::MonotonicMs() - lastIdle_ >= kSliceMs) Idle();
            return;
        }
        if (rc < 0) throw NetError(socket_.Error());
        if (platform::MonotonicMs() >= end)
            throw NetError(std::string(what) + ": no answer within " + std::to_string(timeoutMs_) + " ms");
        Idle();
    }
}

void Connection::Open(const std::string& host, int port) {
    Close();
    std::uint64_t start = platform::MonotonicMs();
    std::vector<platform::SocketAddress> addresses;
    std::string error;
    if (IsNumericHost(host)) {
        addresses = platform::ResolveAddresses(host, port, error);
    } else {
        auto lookup = std::make_shared<Lookup>();
        std::thread([lookup, host, port] {
            std::string e;
            auto found = platform::ResolveAddresses(host, port, e);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->addresses = std::move(found);
            lookup->error = std::move(e);
            lookup->done = true;
        }).detach();
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(lookup->mutex);
                if (lookup->done) {
                    addresses = std::move(lookup->addresses);
                    error = std::move(lookup->error);
                    break;
                }
            }
            if (platform::MonotonicMs() - start >= static_cast<std::uint64_t>(timeoutMs_))
                throw NetError("looking up " + host + ": no answer within " + std::to_string(timeoutMs_) + " ms");
            platform::SleepMs(5);
            Idle();
        }
    }
    if (addresses.empty()) throw NetError("host " + host + " not found (" + error + ")");

    std::string failures;
    for (const auto& address : addresses) {
        TcpSocket::Io io = socket_.StartConnect(address);
        while (io == TcpSocket::Io::WouldBlock) {
            CheckAbort();
            int rc = socket_.WaitReady(true, kSliceMs);
            if (rc > 0) io = socket_.FinishConnect();
            else if (rc < 0) io = TcpSocket::Io::Failed;
            else if (platform::MonotonicMs() - start >= static_cast<std::uint64_t>(timeoutMs_)) {
                socket_.Close();
                throw NetError("connecting to " + host + ":" + std::to_string(port) + ": no answer within " +
                               std::to_string(timeoutMs_) + " ms");
            } else {
                Idle();
            }
        }
        if (io == TcpSocket::Io::Done) {
            begin_ = end_ = 0;
            return;
        }
        if (!failures.empty()) failures += "; ";
        failures += socket_.Error();
        socket_.Close();
    }
    throw NetError("cannot connect to " + host + ":" + std::to_string(port) + " (" + failures + ")");
}

void Connection::SendAll(std::string_view data) {
    while (!data.empty()) {
        CheckAbort();
        std::size_t sent = 0;
        switch (socket_.Send(data.data(), data.size(), sent)) {
            case TcpSocket::Io::Done:
                data.remove_prefix(sent);
                break;
            case TcpSocket::Io::WouldBlock:
                Wait(true, "sending");
                break;
            default:
                throw NetError("connection lost while sending (" + socket_.Error() + ")");
        }
    }
}

// Reads more bytes into the buffer; answers how many (0: closed in order).
std::size_t Connection::Fill() {
    if (begin_ == end_) begin_ = end_ = 0;
    if (end_ == buffer_.size()) {
        if (begin_ == 0) buffer_.resize(buffer_.size() * 2);  // one line fills it; the caller bounds lines
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    for (;;) {
        CheckAbort();
        std::size_t got = 0;
        switch (socket_.Receive(buffer_.data() + end_, buffer_.size() - end_, got)) {
            case TcpSocket::Io::Done:
                end_ += got;
                return got;
            case TcpSocket::Io::Closed:
                return 0;
            case TcpSocket::Io::WouldBlock:
                Wait(false, "waiting for the server");
                break;
            default:
                throw NetError("connection lost (" + socket_.Error() + ")");
        }
    }
}

std::string Connection::ReadLine(std::size_t maxLength) {
    std::size_t scanned = begin_;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const void* lf = std::memchr(buffer_.data() + scanned, '\n', end_ - scanned);
        if (lf) {
            std::size_t length = static_cast<const char*>(lf) - start;
            std::string line(start, length);
            begin_ += length + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > maxLength)
                throw NetError("reply line longer than " + std::to_string(maxLength) + " bytes");
            return line;
        }
        if (end_ - begin_ > maxLength + 1)
            throw NetError("reply line longer than " + std::to_string(maxLength) + " bytes");
        scanned = end_;
        std::size_t offset = scanned - begin_;
        if (Fill() == 0) throw NetError("connection closed by the server");
        scanned = begin_ + offset;  // Fill may have moved the buffered bytes
    }
}

std::size_t Connection::ReadSome(char* buffer, std::size_t size) {
    if (size == 0) return 0;
    if (begin_ < end_) {
        std::size_t n = std::min(size, end_ - begin_);
        std::memcpy(buffer, buffer_.data() + begin_, n);
        begin_ += n;
        return n;
    }
    for (;;) {
        CheckAbort();
        std::size_t got = 0;
        switch (socket_.Receive(buffer, size, got)) {
            case TcpSocket::Io::Done:
                if (platform::MonotonicMs() - lastIdle_ >= kSliceMs) Idle();
                return got;
            case TcpSocket::Io::Closed:
                return 0;
            case TcpSocket::Io::WouldBlock:
                Wait(false, "waiting for the server");
                break;
            default:
                throw NetError("connection lost (" + socket_.Error() + ")");
        }
    }
}

void Connection::Close() {
    socket_.Close();
    begin_ = end_ = 0;
}

}  // namespace kumoya::net
