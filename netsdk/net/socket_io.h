// The SDK's socket calls behind one small interface: UDP and TCP sockets
// with deadlines, a waker for cancelling waits, and the list of broadcast
// addresses. A port to another system replaces socket_posix.cpp only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace netsdk::net {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// An IPv4 address and port, both in host byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

// Strict dotted quad: four decimal parts of at most 255, no leading zeros.
bool ParseIPv4(const char* text, std::uint32_t& address);
std::string FormatIPv4(std::uint32_t address);

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket();
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Ends both directions so that a wait on this socket in another thread
    // returns; the descriptor stays open until destruction.
    void Shutdown();

private:
    int fd_ = -1;
};

// Wakes a thread waiting in WaitReadable. Stays signalled once woken.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    bool valid() const { return fd_ >= 0; }
    void Wake();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

enum class WaitResult { Ready, Woken, Timeout, Error };
WaitResult WaitReadable(const Socket& socket, const Waker* waker, Deadline deadline);

// UDP socket bound to `bind`, non-blocking, allowed to send to broadcast
// addresses, with a receive buffer of at least `receiveBuffer` bytes where
// the system allows it.
Socket OpenUdp(Endpoint bind, int receiveBuffer);
bool SendTo(const Socket& socket, Endpoint to, std::span<const std::uint8_t> bytes);

enum class RecvResult { Datagram, Empty, Error };
// Reads one datagram without blocking. `size` is the datagram's full
// length, which exceeds buffer.size() when it did not fit.
RecvResult RecvFrom(const Socket& socket, std::span<std::uint8_t> buffer, Endpoint& from,
                    std::size_t& size);

// Blocking-style TCP with deadlines. An invalid Socket means failure.
Socket ConnectTcp(Endpoint to, Deadline deadline);
bool SendAll(const Socket& socket, std::span<const std::uint8_t> bytes, Deadline deadline);
bool RecvExact(const Socket& socket, std::span<std::uint8_t> buffer, Deadline deadline);

// Broadcast addresses of the IPv4 interfaces that are up.
std::vector<std::uint32_t> BroadcastAddresses();

// Local addresses of the IPv4 interfaces that are up, take multicast and
// are not loopback.
std::vector<std::uint32_t> MulticastInterfaceAddresses();
// Sends this socket's multicast through the interface holding `local`,
// with a TTL of 1 so that it never leaves the link.
bool SetMulticastInterface(const Socket& socket, std::uint32_t local);

// Raises this process's open-file limit to its hard limit.
void RaiseOpenFileLimit();

}  // namespace netsdk::net
