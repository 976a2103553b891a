// One TCP connection of the network components, driven from the calling
// thread: every wait is cut into short slices, and between slices the
// component's idle hook runs (the user interface's messages), so a blocking
// call keeps the window alive. Each wait is bounded by the time limit, and
// an abort request ends it. Failures throw NetError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_error.h"
#include "platform/socket.h"

namespace kumoya::net {

class Connection {
public:
    // `idle` and `abortRequested` belong to the component and outlive this.
    Connection(int timeoutMs, const std::function<void()>& idle, const bool& abortRequested);

    // Looks the host up (on a helper thread, so the wait stays responsive)
    // and connects to its first address that answers.
    void Open(const std::string& host, int port);
    void SendAll(std::string_view data);
    // The next line without its CR LF (or LF); throws when it is longer than
    // `maxLength` or the connection ends before it does.
    std::string ReadLine(std::size_t maxLength);
    // Waits for bytes and copies up to `size` of them; 0 when the peer has
    // closed the connection in order.
    std::size_t ReadSome(char* buffer, std::size_t size);
    void Close();
    bool IsOpen() const { return socket_.IsOpen(); }
    // Every wait from now on also ends, with an error, `ms` milliseconds
    // from now (a whole reply must arrive in time, not only each piece of
    // it); 0 removes the limit.
    void LimitWholeWait(int ms);

    // Length of one waiting slice, in milliseconds.
    static constexpr int kSliceMs = 20;

private:
    void Wait(bool forWrite, const char* what);
    void Idle();
    void CheckAbort() const;
    std::size_t Fill();

    int timeoutMs_;
    const std::function<void()>& idle_;
    const bool& abortRequested_;
    platform::TcpSocket socket_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0;
    std::uint64_t lastIdle_ = 0;
    std::uint64_t deadline_ = 0;
};

}  // namespace kumoya::net
