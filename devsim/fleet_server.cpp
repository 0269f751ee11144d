#include "devsim/fleet_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <queue>
#include <thread>
#include <unordered_map>

#include "devsim/control_session.h"
#include "devsim/discovery_responder.h"
#include "devsim/fleet_xml.h"
#include "netsdk/wire/header.h"

namespace devsim {
namespace {

enum class Kind : std::uint64_t { Stop = 1, Discovery = 2, Listener = 3, Connection = 4 };

std::uint64_t Tag(Kind kind, std::uint64_t value) { return (static_cast<std::uint64_t>(kind) << 32) | value; }

sockaddr_in Sockaddr(std::uint32_t address, std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(address);
    addr.sin_port = htons(port);
    return addr;
}

bool ParseAddress(const char* text, std::uint32_t& out) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text, &parsed) != 1) return false;
    out = ntohl(parsed.s_addr);
    return true;
}

// A listening control socket on address:port; `port` receives the bound port.
int Listen(std::uint32_t address, std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr = Sockaddr(address, port);
    socklen_t length = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

struct Connection {
    Connection(int f, std::size_t d, DeviceState& device, std::uint32_t peer)
        : fd(f), deviceIndex(d), session(device, peer) {}
    int fd;
    std::size_t deviceIndex;
    ControlSession session;
    std::vector<std::uint8_t> pending;  // bytes not yet written
    bool closeAfterFlush = false;
};

struct Timer {
    SimClock::time_point when;
    std::uint64_t sequence;
    Outgoing datagram;
    bool operator>(const Timer& other) const {
        return when != other.when ? when > other.when : sequence > other.sequence;
    }
};

}  // namespace

class FleetServer::Loop {
public:
    Loop(const Fleet& fleet, const ServerOptions& options, ServerCounters& counters)
        : options_(options), counters_(counters),
          responder_(devices_, [this](std::size_t index, const wire::ModifyRequest& request) {
              return Apply(index, request);
          }) {
        devices_.reserve(fleet.devices.size());
        for (const DeviceProfile& profile : fleet.devices) devices_.emplace_back(profile, options.limiter);
    }

    ~Loop() {
        if (thread_.joinable()) RequestStop();
        for (auto& [fd, connection] : connections_) close(fd);
        for (int fd : listeners_) {
            if (fd >= 0) close(fd);
        }
        for (int fd : {discovery_, stopFd_, epoll_}) {
            if (fd >= 0) close(fd);
        }
    }

    bool Open(std::string& error, std::uint16_t& discoveryPort) {
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (epoll_ < 0 || stopFd_ < 0) return Fail(error, "cannot create the event loop");
        Watch(stopFd_, EPOLLIN, Tag(Kind::Stop, 0));
        if (!OpenDiscovery(error, discoveryPort)) return false;
        listeners_.assign(devices_.size(), -1);
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            DeviceRecord& record = devices_[i].profile.record;
            std::uint32_t address = 0;
            std::uint16_t port = record.privatePort;
            if (!ParseAddress(record.eth0.ip, address) || (listeners_[i] = Listen(address, port)) < 0) {
                return Fail(error, std::string("device ") + record.sn + ": cannot listen on " +
                                       record.eth0.ip + ":" + std::to_string(record.privatePort) + ": " +
                                       std::strerror(errno));
            }
            record.privatePort = port;
            Watch(listeners_[i], EPOLLIN, Tag(Kind::Listener, i));
        }
        return true;
    }

    void Begin() { thread_ = std::thread([this] { Run(); }); }

    void RequestStop() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stopFd_, &one, sizeof one);
        if (thread_.joinable()) thread_.join();
    }

    Fleet Snapshot() const {
        std::lock_guard lock(specMutex_);
        Fleet fleet;
        for (const DeviceState& device : devices_) fleet.devices.push_back(device.profile);
        return fleet;
    }

private:
    static bool Fail(std::string& error, const std::string& what) {
        error = what;
        return false;
    }

    void Watch(int fd, std::uint32_t events, std::uint64_t tag) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = tag;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }

    void Rewatch(int fd, std::uint32_t events, std::uint64_t tag) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = tag;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
    }

    bool OpenDiscovery(std::string& error, std::uint16_t& discoveryPort) {
        discovery_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (discovery_ < 0) return Fail(error, "cannot create the discovery socket");
        const int on = 1;
        const int buffer = 4 * 1024 * 1024;
        setsockopt(discovery_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(discovery_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        if (setsockopt(discovery_, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer) != 0) {
            setsockopt(discovery_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        }
        sockaddr_in addr = Sockaddr(options_.discoveryAddress, options_.discoveryPort);
        socklen_t length = sizeof addr;
        if (bind(discovery_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            getsockname(discovery_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
            return Fail(error, "cannot bind the discovery socket: " + std::string(std::strerror(errno)));
        }
        discoveryPort = ntohs(addr.sin_port);
        Watch(discovery_, EPOLLIN, Tag(Kind::Discovery, 0));
        return true;
    }

    void Run() {
        epoll_event events[256];
        for (;;) {
            const int count = epoll_wait(epoll_, events, 256, TimeoutMs());
            if (count < 0 && errno != EINTR) return;
            for (int i = 0; i < count; ++i) {
                if (!Dispatch(events[i])) return;
            }
            FireTimers();
        }
    }

    int TimeoutMs() const {
        if (timers_.empty()) return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(timers_.top().when - SimClock::now());
        return static_cast<int>(std::max<long long>(0, std::min<long long>(left.count(), 60000)));
    }

    bool Dispatch(const epoll_event& event) {
        const auto kind = static_cast<Kind>(event.data.u64 >> 32);
        const auto value = static_cast<std::size_t>(event.data.u64 & 0xFFFFFFFFu);
        switch (kind) {
            case Kind::Stop: return false;
            case Kind::Discovery:
                if (event.events & EPOLLOUT) FlushDatagrams();
                if (event.events & EPOLLIN) ReadDiscovery();
                return true;
            case Kind::Listener: Accept(value); return true;
            case Kind::Connection: Serve(static_cast<int>(value), event.events); return true;
        }
        return true;
    }

    // --- discovery port ---

    void ReadDiscovery() {
        std::uint8_t buffer[wire::kMaxDatagramSize + 1];
        for (int budget = 0; budget < 1024; ++budget) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(discovery_, buffer, sizeof buffer, MSG_TRUNC,
                                         reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (static_cast<std::size_t>(got) > wire::kMaxDatagramSize) continue;
            const auto size = static_cast<std::size_t>(got);
            if (size >= wire::kHeaderSize && buffer[5] == static_cast<std::uint8_t>(wire::MsgType::Probe)) {
                ++counters_.probes;
            }
            if (size >= wire::kHeaderSize && buffer[5] == static_cast<std::uint8_t>(wire::MsgType::ModifyHello)) {
                ++counters_.modifyRequests;
            }
            std::vector<Outgoing> out;
            responder_.Handle({buffer, size}, ntohl(from.sin_addr.s_addr), ntohs(from.sin_port),
                              SimClock::now(), out);
            for (Outgoing& datagram : out) Schedule(std::move(datagram));
        }
    }

    void Schedule(Outgoing datagram) {
        if (datagram.delayMs <= 0) return Send(std::move(datagram));
        const auto when = SimClock::now() + std::chrono::milliseconds(datagram.delayMs);
        timers_.push(Timer{when, nextSequence_++, std::move(datagram)});
    }

    void FireTimers() {
        const auto now = SimClock::now();
        while (!timers_.empty() && timers_.top().when <= now) {
            Outgoing datagram = timers_.top().datagram;
            timers_.pop();
            Send(std::move(datagram));
        }
    }

    void Send(Outgoing datagram) {
        if (!unsent_.empty()) {
            unsent_.push_back(std::move(datagram));
            return;
        }
        if (!TrySend(datagram)) {
            unsent_.push_back(std::move(datagram));
            Rewatch(discovery_, EPOLLIN | EPOLLOUT, Tag(Kind::Discovery, 0));
        }
    }

    // False when the socket is full and the datagram must wait.
    bool TrySend(const Outgoing& datagram) {
        const sockaddr_in to = Sockaddr(datagram.address, datagram.port);
        for (;;) {
            const ssize_t sent = sendto(discovery_, datagram.bytes.data(), datagram.bytes.size(), MSG_NOSIGNAL,
                                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
            if (sent >= 0) {
                if (datagram.bytes.size() > wire::kHeaderSize &&
                    datagram.bytes[5] == static_cast<std::uint8_t>(wire::MsgType::Answer)) {
                    ++counters_.answers;
                }
                return true;
            }
            if (errno == EINTR) continue;
            return errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS;  // other errors: give up
        }
    }

    void FlushDatagrams() {
        while (!unsent_.empty()) {
            if (!TrySend(unsent_.front())) return;
            unsent_.pop_front();
        }
        Rewatch(discovery_, EPOLLIN, Tag(Kind::Discovery, 0));
    }

    // --- control ports ---

    void Accept(std::size_t index) {
        for (;;) {
            sockaddr_in peer{};
            socklen_t peerLength = sizeof peer;
            const int fd = accept4(listeners_[index], reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                   SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) return;
            if (devices_[index].gone) {
                close(fd);
                continue;
            }
            ++counters_.loginConnections;
            connections_.emplace(fd, std::make_unique<Connection>(fd, index, devices_[index], ntohl(peer.sin_addr.s_addr)));
            Watch(fd, EPOLLIN | EPOLLRDHUP, Tag(Kind::Connection, static_cast<std::uint64_t>(fd)));
        }
    }

    void Serve(int fd, std::uint32_t events) {
        const auto it = connections_.find(fd);
        if (it == connections_.end()) return;
        Connection& connection = *it->second;
        if (events & EPOLLOUT) Flush(connection);
        if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) Read(connection);
        if ((connection.closeAfterFlush && connection.pending.empty()) || (events & (EPOLLHUP | EPOLLERR))) {
            Drop(fd);
        }
    }

    void Read(Connection& connection) {
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t got = recv(connection.fd, buffer, sizeof buffer, 0);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                connection.closeAfterFlush = true;
                connection.pending.clear();
                return;
            }
            if (got < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (connection.closeAfterFlush) continue;  // nothing more is answered
            ControlSession::Output out;
            connection.session.OnBytes({buffer, static_cast<std::size_t>(got)}, SimClock::now(), out);
            for (const wire::Bytes& frame : out.frames) {
                connection.pending.insert(connection.pending.end(), frame.begin(), frame.end());
            }
            if (out.deviceGone) Vanish(connection.deviceIndex);
            if (out.close) connection.closeAfterFlush = true;
            Flush(connection);
        }
    }

    void Flush(Connection& connection) {
        std::size_t done = 0;
        while (done < connection.pending.size()) {
            const ssize_t sent = send(connection.fd, connection.pending.data() + done,
                                      connection.pending.size() - done, MSG_NOSIGNAL);
            if (sent > 0) {
                done += static_cast<std::size_t>(sent);
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            } else {
                connection.pending.clear();
                connection.closeAfterFlush = true;
                return;
            }
        }
        connection.pending.erase(connection.pending.begin(),
                                 connection.pending.begin() + static_cast<std::ptrdiff_t>(done));
        const std::uint32_t events = EPOLLIN | EPOLLRDHUP | (connection.pending.empty() ? 0u : EPOLLOUT);
        Rewatch(connection.fd, events, Tag(Kind::Connection, static_cast<std::uint64_t>(connection.fd)));
    }

    void Drop(int fd) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        close(fd);
        connections_.erase(fd);
    }

    // The device leaves the network: no listener, no discovery answers.
    void Vanish(std::size_t index) {
        if (listeners_[index] >= 0) {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, listeners_[index], nullptr);
            close(listeners_[index]);
            listeners_[index] = -1;
        }
    }

    // --- modification ---

    bool Apply(std::size_t index, const wire::ModifyRequest& request) {
        std::uint32_t address = 0;
        std::uint16_t port = devices_[index].profile.record.privatePort;
        if (!ParseAddress(request.ip, address)) return false;
        const int listener = Listen(address, port);
        if (listener < 0) return false;
        Vanish(index);
        listeners_[index] = listener;
        Watch(listener, EPOLLIN, Tag(Kind::Listener, index));
        {
            std::lock_guard lock(specMutex_);
            NetBlock& eth0 = devices_[index].profile.record.eth0;
            std::memcpy(eth0.ip, request.ip, sizeof eth0.ip);
            std::memcpy(eth0.mask, request.mask, sizeof eth0.mask);
            std::memcpy(eth0.gw, request.gw, sizeof eth0.gw);
        }
        ++counters_.modifiesApplied;
        if (!options_.saveFile.empty()) {
            std::string error;
            if (!SaveFleetFile(options_.saveFile, Snapshot(), error)) {
                std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
            }
        }
        return true;
    }

    ServerOptions options_;
    ServerCounters& counters_;
    std::vector<DeviceState> devices_;
    mutable std::mutex specMutex_;  // guards device records read by Snapshot
    DiscoveryResponder responder_;
    std::vector<int> listeners_;
    std::unordered_map<int, std::unique_ptr<Connection>> connections_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
    std::uint64_t nextSequence_ = 0;
    std::deque<Outgoing> unsent_;
    int epoll_ = -1;
    int stopFd_ = -1;
    int discovery_ = -1;
    std::thread thread_;
};

std::unique_ptr<FleetServer> FleetServer::Start(const Fleet& fleet, const ServerOptions& options,
                                                std::string& error) {
    std::unique_ptr<FleetServer> server(new FleetServer());
    server->loop_ = std::make_unique<Loop>(fleet, options, server->counters_);
    if (!server->loop_->Open(error, server->discoveryPort_)) return nullptr;
    server->loop_->Begin();
    return server;
}

FleetServer::~FleetServer() { Stop(); }

void FleetServer::Stop() {
    if (loop_) loop_->RequestStop();
}

Fleet FleetServer::Snapshot() const { return loop_->Snapshot(); }

}  // namespace devsim
