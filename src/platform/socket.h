// TCP client sockets for the network components: name look-up for IPv4 and
// IPv6, a non-blocking connected stream and a wait with a time-out, over
// Winsock on Windows and BSD sockets elsewhere. Errors are kept as text with
// the call's name and the system's code ("connect: error 10061").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kumoya::platform {

// One resolved address of a host and port, ready to connect to.
struct SocketAddress {
    int family = 0;
    std::vector<std::uint8_t> raw;  // the system's socket address structure
};

// Looks up `host` (a name or a numeric IPv4/IPv6 address) for a TCP
// connection to `port`. Blocks for as long as the system's resolver does; an
// empty answer sets `error`. Safe to call from any thread.
std::vector<SocketAddress> ResolveAddresses(const std::string& host, int port, std::string& error);

// Milliseconds from an unspecified start, never going back.
std::uint64_t MonotonicMs();
// Lets the calling thread sleep.
void SleepMs(int ms);

class TcpSocket {
public:
    enum class Io { Done, WouldBlock, Closed, Failed };

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Opens a non-blocking socket and starts connecting: Done when connected
    // at once, WouldBlock while in progress (wait for writability, then
    // FinishConnect), Failed otherwise.
    Io StartConnect(const SocketAddress& address);
    // Done when the connection in progress has been made, Failed otherwise.
    Io FinishConnect();
    // Waits up to `timeoutMs` for the socket to become readable (or writable
    // when `forWrite`); a closed or failed connection counts as readable.
    // Answers 1 ready, 0 timed out, -1 failure.
    int WaitReady(bool forWrite, int timeoutMs);
    // Reads what is there: Done with `received` > 0, WouldBlock, Closed (the
    // peer closed in order) or Failed (reset and the like).
    Io Receive(void* buffer, std::size_t size, std::size_t& received);
    // Writes what fits: Done with `sent` > 0, WouldBlock or Failed.
    Io Send(const void* data, std::size_t size, std::size_t& sent);
    void Close();
    bool IsOpen() const { return handle_ != kNone; }
    const std::string& Error() const { return error_; }

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
    std::string error_;
};

}  // namespace kumoya::platform
