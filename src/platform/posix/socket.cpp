#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kumoya::platform {
namespace {

std::string ErrnoText(const char* call, int error) {
    return std::string(call) + ": " + std::strerror(error) + " (errno " + std::to_string(error) + ")";
}

}  // namespace

std::vector<SocketAddress> ResolveAddresses(const std::string& host, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    std::vector<SocketAddress> out;
    if (rc != 0) {
        error = std::string("getaddrinfo: ") + ::gai_strerror(rc) + " (" + std::to_string(rc) + ")";
        return out;
    }
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        SocketAddress s;
        s.family = a->ai_family;
        auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
        s.raw.assign(bytes, bytes + a->ai_addrlen);
        out.push_back(std::move(s));
    }
    ::freeaddrinfo(list);
    if (out.empty()) error = "getaddrinfo: no IPv4 or IPv6 address";
    return out;
}

std::uint64_t MonotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMs(int ms) {
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

TcpSocket::~TcpSocket() { Close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
    other.handle_ = kNone;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        error_ = std::move(other.error_);
        other.handle_ = kNone;
    }
    return *this;
}

TcpSocket::Io TcpSocket::StartConnect(const SocketAddress& address) {
    Close();
    int fd = ::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error_ = ErrnoText("socket", errno);
        return Io::Failed;
    }
    handle_ = fd;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(address.raw.data()),
                  static_cast<socklen_t>(address.raw.size())) == 0)
        return Io::Done;
    if (errno == EINPROGRESS || errno == EINTR) return Io::WouldBlock;
    error_ = ErrnoText("connect", errno);
    return Io::Failed;
}

TcpSocket::Io TcpSocket::FinishConnect() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) return Io::Done;
    error_ = ErrnoText("connect", error);
    return Io::Failed;
}

int TcpSocket::WaitReady(bool forWrite, int timeoutMs) {
    pollfd p{};
    p.fd = static_cast<int>(handle_);
    p.events = forWrite ? POLLOUT : POLLIN;
    int rc = ::poll(&p, 1, timeoutMs);
    if (rc < 0) {
        if (errno == EINTR) return 0;
        error_ = ErrnoText("poll", errno);
        return -1;
    }
    return rc > 0 ? 1 : 0;
}

TcpSocket::Io TcpSocket::Receive(void* buffer, std::size_t size, std::size_t& received) {
    received = 0;
    for (;;) {
        ssize_t n = ::recv(static_cast<int>(handle_), buffer, size, 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Io::Done;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::WouldBlock;
        error_ = ErrnoText("recv", errno);
        return Io::Failed;
    }
}

TcpSocket::Io TcpSocket::Send(const void* data, std::size_t size, std::size_t& sent) {
    sent = 0;
    for (;;) {
        ssize_t n = ::send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return n > 0 ? Io::Done : Io::WouldBlock;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::WouldBlock;
        error_ = ErrnoText("send", errno);
        return Io::Failed;
    }
}

void TcpSocket::Close() {
    if (handle_ != kNone) {
        ::close(static_cast<int>(handle_));
        handle_ = kNone;
    }
}

}  // namespace kumoya::platform
