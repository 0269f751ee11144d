// POSIX backend of the socket interface.
#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "netsdk/net/socket_io.h"

namespace netsdk::net {
namespace {

sockaddr_in ToSockaddr(Endpoint endpoint) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(endpoint.address);
    addr.sin_port = htons(endpoint.port);
    return addr;
}

int MillisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    // Round up so that a wait never ends just before its deadline.
    return static_cast<int>(std::min<long long>(left.count() + 1, INT_MAX));
}

// Waits for `events` on fd; false on timeout or error.
bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int timeout = MillisecondsLeft(deadline);
        const int ready = poll(&entry, 1, timeout);
        if (ready > 0) return (entry.revents & (events | POLLERR | POLLHUP)) != 0;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

}  // namespace

bool ParseIPv4(const char* text, std::uint32_t& address) {
    if (text == nullptr) return false;
    in_addr parsed{};
    if (inet_pton(AF_INET, text, &parsed) != 1) return false;
    address = ntohl(parsed.s_addr);
    return true;
}

std::string FormatIPv4(std::uint32_t address) {
    in_addr addr{};
    addr.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

Socket::~Socket() {
    if (fd_ >= 0) close(fd_);
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Socket::Shutdown() {
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
}

Waker::Waker() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Waker::~Waker() {
    if (fd_ >= 0) close(fd_);
}

void Waker::Wake() {
    const std::uint64_t one = 1;
    if (fd_ >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
}

WaitResult WaitReadable(const Socket& socket, const Waker* waker, Deadline deadline) {
    for (;;) {
        pollfd entries[2] = {{socket.fd(), POLLIN, 0}, {waker ? waker->fd() : -1, POLLIN, 0}};
        const int ready = poll(entries, waker ? 2 : 1, MillisecondsLeft(deadline));
        if (ready == 0) return WaitResult::Timeout;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return WaitResult::Error;
        }
        if (waker && (entries[1].revents & POLLIN) != 0) return WaitResult::Woken;
        if ((entries[0].revents & POLLIN) != 0) return WaitResult::Ready;
        return WaitResult::Error;
    }
}

Socket OpenUdp(Endpoint bind, int receiveBuffer) {
    Socket socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.valid()) return socket;
    const int on = 1;
    setsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (receiveBuffer > 0) {
        // The forced variant passes the system's ceiling when privileged.
        if (setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer,
                       sizeof receiveBuffer) != 0) {
            setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
    }
    const sockaddr_in addr = ToSockaddr(bind);
    if (::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        return Socket();
    }
    return socket;
}

bool SendTo(const Socket& socket, Endpoint to, std::span<const std::uint8_t> bytes) {
    const sockaddr_in addr = ToSockaddr(to);
    for (;;) {
        const ssize_t sent = sendto(socket.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                    reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
        if (sent >= 0) return static_cast<std::size_t>(sent) == bytes.size();
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Socket buffer full: wait briefly for room rather than lose the packet.
            if (WaitFor(socket.fd(), POLLOUT, Clock::now() + std::chrono::milliseconds(100))) continue;
        }
        return false;
    }
}

RecvResult RecvFrom(const Socket& socket, std::span<std::uint8_t> buffer, Endpoint& from,
                    std::size_t& size) {
    for (;;) {
        sockaddr_in addr{};
        socklen_t length = sizeof addr;
        const ssize_t got = recvfrom(socket.fd(), buffer.data(), buffer.size(), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&addr), &length);
        if (got >= 0) {
            size = static_cast<std::size_t>(got);
            from.address = ntohl(addr.sin_addr.s_addr);
            from.port = ntohs(addr.sin_port);
            return RecvResult::Datagram;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return RecvResult::Empty;
        // ICMP errors (port unreachable after a send) surface here; they
        // say nothing about the datagrams still queued.
        if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH) continue;
        return RecvResult::Error;
    }
}

Socket ConnectTcp(Endpoint to, Deadline deadline) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.valid()) return socket;
    const int on = 1;
    setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const sockaddr_in addr = ToSockaddr(to);
    if (connect(socket.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS) return Socket();
        if (!WaitFor(socket.fd(), POLLOUT, deadline)) return Socket();
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return Socket();
        }
    }
    return socket;
}

bool SendAll(const Socket& socket, std::span<const std::uint8_t> bytes, Deadline deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(socket.fd(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            WaitFor(socket.fd(), POLLOUT, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

bool RecvExact(const Socket& socket, std::span<std::uint8_t> buffer, Deadline deadline) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = recv(socket.fd(), buffer.data() + done, buffer.size() - done, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0) return false;  // peer closed
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(socket.fd(), POLLIN, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

namespace {

// One address per up IPv4 interface that `pick` takes (0: none), each once.
template <typename Pick>
std::vector<std::uint32_t> InterfaceAddresses(Pick pick) {
    std::vector<std::uint32_t> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_UP) == 0) continue;
        const std::uint32_t address = pick(*entry);
        if (address != 0 && std::find(result.begin(), result.end(), address) == result.end()) {
            result.push_back(address);
        }
    }
    freeifaddrs(list);
    return result;
}

std::uint32_t AddressOf(const sockaddr* address) {
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return ntohl(in.sin_addr.s_addr);
}

}  // namespace

std::vector<std::uint32_t> BroadcastAddresses() {
    return InterfaceAddresses([](const ifaddrs& entry) -> std::uint32_t {
        if ((entry.ifa_flags & IFF_BROADCAST) == 0 || entry.ifa_broadaddr == nullptr) return 0;
        return AddressOf(entry.ifa_broadaddr);
    });
}

std::vector<std::uint32_t> MulticastInterfaceAddresses() {
    return InterfaceAddresses([](const ifaddrs& entry) -> std::uint32_t {
        if ((entry.ifa_flags & IFF_MULTICAST) == 0 || (entry.ifa_flags & IFF_LOOPBACK) != 0) return 0;
        return AddressOf(entry.ifa_addr);
    });
}

bool SetMulticastInterface(const Socket& socket, std::uint32_t local) {
    in_addr address{};
    address.s_addr = htonl(local);
    const unsigned char ttl = 1;
    return setsockopt(socket.fd(), IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address) == 0 &&
           setsockopt(socket.fd(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0;
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace netsdk::net
