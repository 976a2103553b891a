#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <mutex>

#include "platform/win32/wide.h"

namespace kumoya::platform {
namespace {

// Winsock is started once for the process and left running until it ends.
bool StartWinsock(std::string& error) {
    static std::once_flag once;
    static int startResult = 0;
    std::call_once(once, [] {
        WSADATA data;
        startResult = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (startResult != 0) error = "WSAStartup: error " + std::to_string(startResult);
    return startResult == 0;
}

std::string WsaText(const char* call, int error) { return std::string(call) + ": error " + std::to_string(error); }

SOCKET Native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

std::vector<SocketAddress> ResolveAddresses(const std::string& host, int port, std::string& error) {
    std::vector<SocketAddress> out;
    if (!StartWinsock(error)) return out;
    auto wideHost = win32::ToWide(host);
    if (!wideHost) {
        error = "host name is not Shift_JIS text";
        return out;
    }
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* list = nullptr;
    std::wstring service = std::to_wstring(port);
    int rc = ::GetAddrInfoW(wideHost->c_str(), service.c_str(), &hints, &list);
    if (rc != 0) {
        error = WsaText("GetAddrInfoW", rc);
        return out;
    }
    for (ADDRINFOW* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        SocketAddress s;
        s.family = a->ai_family;
        auto* bytes = reinterpret_cast<const std::uint8_t*>(a->ai_addr);
        s.raw.assign(bytes, bytes + a->ai_addrlen);
        out.push_back(std::move(s));
    }
    ::FreeAddrInfoW(list);
    if (out.empty()) error = "GetAddrInfoW: no IPv4 or IPv6 address";
    return out;
}

std::uint64_t MonotonicMs() { return ::GetTickCount64(); }

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

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
    if (!StartWinsock(error_)) return Io::Failed;
    SOCKET s = ::WSASocketW(address.family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error_ = WsaText("WSASocketW", ::WSAGetLastError());
        return Io::Failed;
    }
    handle_ = static_cast<std::intptr_t>(s);
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        error_ = WsaText("ioctlsocket", ::WSAGetLastError());
        return Io::Failed;
    }
    BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    if (::connect(s, reinterpret_cast<const sockaddr*>(address.raw.data()), static_cast<int>(address.raw.size())) == 0)
        return Io::Done;
    int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return Io::WouldBlock;
    error_ = WsaText("connect", error);
    return Io::Failed;
}

TcpSocket::Io TcpSocket::FinishConnect() {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(Native(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = ::WSAGetLastError();
    if (error == 0) return Io::Done;
    error_ = WsaText("connect", error);
    return Io::Failed;
}

int TcpSocket::WaitReady(bool forWrite, int timeoutMs) {
    // select rather than WSAPoll: WSAPoll does not report a refused
    // connection on some Windows versions; select shows it in the except set.
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    SOCKET s = Native(handle_);
    if (forWrite) {
        FD_SET(s, &writable);
        FD_SET(s, &failed);
    } else {
        FD_SET(s, &readable);
    }
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int rc = ::select(0, &readable, &writable, &failed, &limit);
    if (rc == SOCKET_ERROR) {
        error_ = WsaText("select", ::WSAGetLastError());
        return -1;
    }
    return rc > 0 ? 1 : 0;
}

TcpSocket::Io TcpSocket::Receive(void* buffer, std::size_t size, std::size_t& received) {
    received = 0;
    int n = ::recv(Native(handle_), static_cast<char*>(buffer), static_cast<int>(size > 0x40000000 ? 0x40000000 : size),
                   0);
    if (n > 0) {
        received = static_cast<std::size_t>(n);
        return Io::Done;
    }
    if (n == 0) return Io::Closed;
    int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return Io::WouldBlock;
    error_ = WsaText("recv", error);
    return Io::Failed;
}

TcpSocket::Io TcpSocket::Send(const void* data, std::size_t size, std::size_t& sent) {
    sent = 0;
    int n = ::send(Native(handle_), static_cast<const char*>(data),
                   static_cast<int>(size > 0x40000000 ? 0x40000000 : size), 0);
    if (n > 0) {
        sent = static_cast<std::size_t>(n);
        return Io::Done;
    }
    if (n == 0) return Io::WouldBlock;
    int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return Io::WouldBlock;
    error_ = WsaText("send", error);
    return Io::Failed;
}

void TcpSocket::Close() {
    if (handle_ != kNone) {
        ::closesocket(Native(handle_));
        handle_ = kNone;
    }
}

}  // namespace kumoya::platform
