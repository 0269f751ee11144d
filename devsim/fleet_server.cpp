#include "devsim/fleet_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "devsim/control_ports.h"
#include "devsim/discovery_outbox.h"
#include "devsim/discovery_responder.h"
#include "devsim/epoll_tags.h"
#include "devsim/fleet_xml.h"
#include "devsim/onvif_devices.h"
#include "netsdk/wire/header.h"

namespace devsim {
namespace {

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

std::string AddressText(std::uint32_t address) {
    const in_addr parsed{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &parsed, text, sizeof text);
    return text;
}

std::optional<SimClock::time_point> Earliest(std::optional<SimClock::time_point> a,
                                             std::optional<SimClock::time_point> b) {
    if (!a || !b) return a ? a : b;
    return std::min(*a, *b);
}

}  // namespace

class FleetServer::Loop {
public:
    Loop(const Fleet& fleet, const ServerOptions& options, ServerCounters& counters)
        : options_(options), counters_(counters),
          responder_(devices_, [this](std::size_t index, const wire::ModifyRequest& request) {
              return Apply(index, request);
          }),
          outbox_(options_.limits, counters), ports_(devices_, options_.limits, counters) {
        devices_.reserve(fleet.devices.size());
        for (const DeviceProfile& profile : fleet.devices) devices_.emplace_back(profile, options.limiter);
        OnvifOptions onvif{options.discoveryAddress, options.onvifDiscoveryPort, options.limits, [this] { Save(); }};
        onvif_ = std::make_unique<OnvifDevices>(fleet.onvifDevices, std::move(onvif), counters);
    }

    ~Loop() {
        if (thread_.joinable()) RequestStop();
        onvif_.reset();
        for (int fd : {discovery_, stopFd_, epoll_}) {
            if (fd >= 0) close(fd);
        }
    }

    bool Open(StartFailure& failure, std::uint16_t& discoveryPort) {
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
        stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (epoll_ < 0 || stopFd_ < 0) return Fail(failure, "cannot create the event loop", errno);
        WatchFd(epoll_, EPOLL_CTL_ADD, stopFd_, EPOLLIN, EventTag(EventKind::Stop, 0));
        return OpenDiscovery(failure, discoveryPort) && ports_.Open(epoll_, failure) && onvif_->Open(failure);
    }

    void Begin() {
        thread_ = std::thread([this] { Run(); });
        onvif_->Begin();
    }

    void RequestStop() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stopFd_, &one, sizeof one);
        if (thread_.joinable()) thread_.join();
        onvif_->Stop();
    }

    std::uint16_t onvifDiscoveryPort() const { return onvif_->discoveryPort(); }

    Fleet Snapshot() const {
        Fleet fleet;
        fleet.onvifDevices = onvif_->Snapshot();
        std::lock_guard lock(specMutex_);
        for (const DeviceState& device : devices_) fleet.devices.push_back(device.profile);
        return fleet;
    }

private:
    static bool Fail(StartFailure& failure, const std::string& what, int error) {
        failure.text = what + ": " + std::strerror(error);
        failure.addressInUse = error == EADDRINUSE;
        return false;
    }

    // No SO_REUSEADDR or SO_REUSEPORT here: for UDP they would let a second
    // simulator bind the same address and port and take part of the probes,
    // so a port already held is refused instead.
    bool OpenDiscovery(StartFailure& failure, std::uint16_t& discoveryPort) {
        const std::string where = AddressText(options_.discoveryAddress) + ":" + std::to_string(options_.discoveryPort);
        discovery_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (discovery_ < 0) return Fail(failure, "cannot create the discovery socket for " + where, errno);
        const int on = 1;
        const int buffer = 4 * 1024 * 1024;
        setsockopt(discovery_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        if (setsockopt(discovery_, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer) != 0) {
            setsockopt(discovery_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        }
        sockaddr_in addr = Sockaddr(options_.discoveryAddress, options_.discoveryPort);
        socklen_t length = sizeof addr;
        if (bind(discovery_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            getsockname(discovery_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
            return Fail(failure, "cannot bind the discovery socket to " + where, errno);
        }
        discoveryPort = ntohs(addr.sin_port);
        outbox_.SetSocket(discovery_);
        WatchFd(epoll_, EPOLL_CTL_ADD, discovery_, EPOLLIN, EventTag(EventKind::Discovery, 0));
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
            const auto now = SimClock::now();
            outbox_.SendDue(now);
            WatchDiscoveryRoom();
            ports_.Tick(now);
        }
    }

    int TimeoutMs() const {
        const auto next = Earliest(outbox_.NextDue(), ports_.NextTick());
        if (!next) return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - SimClock::now());
        return static_cast<int>(std::max<long long>(0, std::min<long long>(left.count(), 60000)));
    }

    bool Dispatch(const epoll_event& event) {
        const auto value = ValueOf(event);
        switch (KindOf(event)) {
            case EventKind::Stop: return false;
            case EventKind::Discovery:
                if (event.events & EPOLLOUT) outbox_.OnWritable();
                if (event.events & EPOLLIN) ReadDiscovery();
                return true;
            case EventKind::Listener: ports_.OnListener(value, SimClock::now()); return true;
            case EventKind::Connection:
                ports_.OnConnection(static_cast<int>(value), event.events, SimClock::now());
                return true;
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
            Count({buffer, static_cast<std::size_t>(got)});
            const std::uint32_t source = ntohl(from.sin_addr.s_addr);
            const auto now = SimClock::now();
            if (!outbox_.MaySendTo(source, now)) continue;  // its answers would be dropped anyway
            std::vector<Outgoing> out;
            responder_.Handle({buffer, static_cast<std::size_t>(got)}, source, ntohs(from.sin_port), now, out);
            for (Outgoing& datagram : out) outbox_.Post(std::move(datagram), now);
        }
    }

    void Count(std::span<const std::uint8_t> datagram) {
        if (datagram.size() < wire::kHeaderSize) return;
        if (datagram[5] == static_cast<std::uint8_t>(wire::MsgType::Probe)) ++counters_.probes;
        if (datagram[5] == static_cast<std::uint8_t>(wire::MsgType::ModifyHello)) ++counters_.modifyRequests;
    }

    // Waits for room in the discovery socket only while datagrams wait for it.
    void WatchDiscoveryRoom() {
        const bool wanted = outbox_.WaitsForRoom();
        if (wanted == watchingRoom_) return;
        WatchFd(epoll_, EPOLL_CTL_MOD, discovery_, EPOLLIN | (wanted ? std::uint32_t{EPOLLOUT} : 0u),
                EventTag(EventKind::Discovery, 0));
        watchingRoom_ = wanted;
    }

    // --- modification ---

    bool Apply(std::size_t index, const wire::ModifyRequest& request) {
        std::uint32_t address = 0;
        if (!ParseAddress(request.ip, address) || !ports_.MoveListener(index, address)) return false;
        {
            std::lock_guard lock(specMutex_);
            NetBlock& eth0 = devices_[index].profile.record.eth0;
            std::memcpy(eth0.ip, request.ip, sizeof eth0.ip);
            std::memcpy(eth0.mask, request.mask, sizeof eth0.mask);
            std::memcpy(eth0.gw, request.gw, sizeof eth0.gw);
        }
        ++counters_.modifiesApplied;
        Save();
        return true;
    }

    // Called from the event loop and from the ONVIF devices' thread.
    void Save() {
        if (options_.saveFile.empty()) return;
        std::lock_guard lock(saveMutex_);
        std::string error;
        if (!SaveFleetFile(options_.saveFile, Snapshot(), error)) {
            std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        }
    }

    ServerOptions options_;
    ServerCounters& counters_;
    std::vector<DeviceState> devices_;
    mutable std::mutex specMutex_;  // guards device records read by Snapshot
    std::mutex saveMutex_;          // one save at a time
    std::unique_ptr<OnvifDevices> onvif_;
    DiscoveryResponder responder_;
    DiscoveryOutbox outbox_;
    ControlPorts ports_;
    bool watchingRoom_ = false;
    int epoll_ = -1;
    int stopFd_ = -1;
    int discovery_ = -1;
    std::thread thread_;
};

std::unique_ptr<FleetServer> FleetServer::Start(const Fleet& fleet, const ServerOptions& options,
                                                StartFailure& failure) {
    std::unique_ptr<FleetServer> server(new FleetServer());
    server->loop_ = std::make_unique<Loop>(fleet, options, server->counters_);
    if (!server->loop_->Open(failure, server->discoveryPort_)) return nullptr;
    server->onvifDiscoveryPort_ = server->loop_->onvifDiscoveryPort();
    server->loop_->Begin();
    return server;
}

std::unique_ptr<FleetServer> FleetServer::Start(const Fleet& fleet, const ServerOptions& options,
                                                std::string& error) {
    StartFailure failure;
    auto server = Start(fleet, options, failure);
    if (!server) error = failure.text;
    return server;
}

FleetServer::~FleetServer() { Stop(); }

void FleetServer::Stop() {
    if (loop_) loop_->RequestStop();
}

Fleet FleetServer::Snapshot() const { return loop_->Snapshot(); }

}  // namespace devsim
