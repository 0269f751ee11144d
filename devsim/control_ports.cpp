#include "devsim/control_ports.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "devsim/epoll_tags.h"

namespace devsim {
namespace {

// Connections accepted per listener event, so that one busy device cannot
// keep the loop from the others.
constexpr int kAcceptsPerEvent = 64;

bool ParseAddress(const char* text, std::uint32_t& out) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text, &parsed) != 1) return false;
    out = ntohl(parsed.s_addr);
    return true;
}

// A listening socket on address:port; `port` receives the port bound. On
// failure -1, with the reason in `error` (an errno value).
int Listen(std::uint32_t address, std::uint16_t& port, int& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // Lets a restarted fleet listen while connections of its previous run
    // linger in TIME_WAIT; a port another socket listens on stays refused.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(address);
    addr.sin_port = htons(port);
    socklen_t length = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        error = errno;
        close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// The total cap when none is set: what the descriptor limit leaves after the
// listeners and a reserve (the loop's own descriptors, a modify's new
// listener, saving the fleet file), at most 4096.
std::size_t TotalCap(const ServerLimits& limits, std::size_t devices) {
    constexpr std::size_t kMost = 4096, kLeast = 8, kReserve = 32;
    if (limits.connections > 0) return limits.connections;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMost;
    const std::size_t used = devices + kReserve;
    const std::size_t free = limit.rlim_cur > used ? static_cast<std::size_t>(limit.rlim_cur) - used : 0;
    return std::clamp(free, kLeast, kMost);
}

bool OutOfDescriptors(int error) { return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM; }

// Errors of one pending connection, not of the listener: the next one may
// be accepted.
bool FailedConnection(int error) {
    switch (error) {
        case EINTR: case ECONNABORTED: case EPROTO: case ENETDOWN: case ENETUNREACH: case EHOSTDOWN:
        case EHOSTUNREACH: case ENONET: case ENOPROTOOPT: case EOPNOTSUPP: return true;
        default: return false;
    }
}

}  // namespace

ControlPorts::~ControlPorts() {
    connections_.clear();
    for (int fd : listeners_) {
        if (fd >= 0) close(fd);
    }
}

bool ControlPorts::Open(int epoll, StartFailure& failure) {
    epoll_ = epoll;
    listeners_.assign(devices_.size(), -1);
    perDevice_.assign(devices_.size(), 0);
    cap_ = TotalCap(limits_, devices_.size());
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        DeviceRecord& record = devices_[i].profile.record;
        std::uint32_t address = 0;
        std::uint16_t port = record.privatePort;
        int error = EINVAL;
        if (!ParseAddress(record.eth0.ip, address) || (listeners_[i] = Listen(address, port, error)) < 0) {
            failure.text = std::string("device ") + record.sn + ": cannot listen on " + record.eth0.ip + ":" +
                           std::to_string(record.privatePort) + ": " + std::strerror(error);
            failure.addressInUse = error == EADDRINUSE;
            return false;
        }
        record.privatePort = port;
        WatchFd(epoll_, EPOLL_CTL_ADD, listeners_[i], EPOLLIN, EventTag(EventKind::Listener, i));
    }
    return true;
}

void ControlPorts::OnListener(std::size_t device, SimClock::time_point now) {
    for (int i = 0; i < kAcceptsPerEvent && listeners_[device] >= 0; ++i) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int fd = accept4(listeners_[device], reinterpret_cast<sockaddr*>(&peer), &peerLength,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (OutOfDescriptors(error)) Rest(now);
            if (FailedConnection(error)) continue;
            return;
        }
        if (!devices_[device].gone && perDevice_[device] >= limits_.connectionsPerDevice &&
            connections_.size() < cap_ && EvictOldestWaiting(device)) {
            ++counters_.connectionsEvicted;
        }
        if (devices_[device].gone || !HasRoom(device)) {
            if (!devices_[device].gone) ++counters_.connectionsRefused;
            close(fd);
            continue;
        }
        Admit(fd, device, ntohl(peer.sin_addr.s_addr), now);
    }
}

bool ControlPorts::HasRoom(std::size_t device) const {
    return perDevice_[device] < limits_.connectionsPerDevice && connections_.size() < cap_;
}

bool ControlPorts::EvictOldestWaiting(std::size_t device) {
    auto oldest = connections_.end();
    for (auto it = connections_.begin(); it != connections_.end(); ++it) {
        const ControlConnection& c = *it->second.connection;
        if (c.device() != device || c.loggedIn()) continue;
        if (oldest == connections_.end() || c.accepted() < oldest->second.connection->accepted()) oldest = it;
    }
    if (oldest == connections_.end()) return false;
    Drop(oldest);
    return true;
}

void ControlPorts::Admit(int fd, std::size_t device, std::uint32_t peer, SimClock::time_point now) {
    ++counters_.loginConnections;
    ++perDevice_[device];
    Entry entry{std::make_unique<ControlConnection>(fd, device, devices_[device], peer, limits_, now), 0};
    entry.watched = entry.connection->Interest();
    nextSweep_ = connections_.empty() ? entry.connection->Deadline()
                                      : std::min(nextSweep_, entry.connection->Deadline());
    WatchFd(epoll_, EPOLL_CTL_ADD, fd, entry.watched, EventTag(EventKind::Connection, static_cast<std::uint64_t>(fd)));
    connections_.emplace(fd, std::move(entry));
}

void ControlPorts::OnConnection(int fd, std::uint32_t events, SimClock::time_point now) {
    const auto it = connections_.find(fd);
    if (it == connections_.end()) return;
    ControlConnection& connection = *it->second.connection;
    bool gone = false;
    connection.OnEvents(events, now, gone);
    if (gone) CloseListener(connection.device());
    if (connection.Done()) {
        Drop(it);
        return;
    }
    const std::uint32_t wanted = connection.Interest();
    if (wanted != it->second.watched) {
        WatchFd(epoll_, EPOLL_CTL_MOD, fd, wanted, EventTag(EventKind::Connection, static_cast<std::uint64_t>(fd)));
        it->second.watched = wanted;
    }
    nextSweep_ = std::min(nextSweep_, connection.Deadline());  // a login brings the idle deadline
}

ControlPorts::Entries::iterator ControlPorts::Drop(Entries::iterator it) {
    --perDevice_[it->second.connection->device()];
    epoll_ctl(epoll_, EPOLL_CTL_DEL, it->first, nullptr);
    if (restUntil_) {  // a descriptor is free again
        restUntil_.reset();
        WatchListeners(EPOLLIN);
    }
    return connections_.erase(it);
}

void ControlPorts::Tick(SimClock::time_point now) {
    if (restUntil_ && now >= *restUntil_) {
        restUntil_.reset();
        WatchListeners(EPOLLIN);
    }
    if (connections_.empty() || now < nextSweep_) return;
    SimClock::time_point next = SimClock::time_point::max();
    for (auto it = connections_.begin(); it != connections_.end();) {
        const SimClock::time_point deadline = it->second.connection->Deadline();
        if (deadline <= now) {
            ++counters_.connectionsExpired;
            it = Drop(it);
        } else {
            next = std::min(next, deadline);
            ++it;
        }
    }
    nextSweep_ = next;
}

std::optional<SimClock::time_point> ControlPorts::NextTick() const {
    std::optional<SimClock::time_point> next = restUntil_;
    if (!connections_.empty()) next = next ? std::min(*next, nextSweep_) : nextSweep_;
    return next;
}

// Out of descriptors: a listener with a connection waiting stays readable,
// so the listeners leave the epoll set's attention until a descriptor is
// freed or the rest is over.
void ControlPorts::Rest(SimClock::time_point now) {
    if (restUntil_) return;
    restUntil_ = now + limits_.acceptPause;
    ++counters_.acceptPauses;
    WatchListeners(0);
}

void ControlPorts::WatchListeners(std::uint32_t events) {
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
        if (listeners_[i] >= 0) WatchFd(epoll_, EPOLL_CTL_MOD, listeners_[i], events, EventTag(EventKind::Listener, i));
    }
}

void ControlPorts::CloseListener(std::size_t device) {
    if (listeners_[device] < 0) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, listeners_[device], nullptr);
    close(listeners_[device]);
    listeners_[device] = -1;
}

bool ControlPorts::MoveListener(std::size_t device, std::uint32_t address) {
    std::uint16_t port = devices_[device].profile.record.privatePort;
    int error = 0;
    const int listener = Listen(address, port, error);
    if (listener < 0) return false;
    CloseListener(device);
    listeners_[device] = listener;
    WatchFd(epoll_, EPOLL_CTL_ADD, listener, restUntil_ ? 0u : std::uint32_t{EPOLLIN},
            EventTag(EventKind::Listener, device));
    return true;
}

}  // namespace devsim
