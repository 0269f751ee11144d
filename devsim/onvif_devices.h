// The fleet's ONVIF devices on real sockets: per device an OnvifHttpServer on
// its own address and HTTP port, one WS-Discovery socket answering probes for
// all of them, and one thread that reads probes, sends the answers when they
// are due and moves a device to the address it was given.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devsim/auth_limiter.h"
#include "devsim/delayed_datagrams.h"
#include "devsim/onvif/http_server.h"
#include "devsim/server_counters.h"
#include "devsim/server_limits.h"
#include "devsim/source_budget.h"
#include "devsim/start_failure.h"

namespace devsim {

inline constexpr char kWsDiscoveryGroup[] = "239.255.255.250";

struct OnvifOptions {
    std::uint32_t discoveryAddress = 0x7F000001u;  // host byte order; 0: every interface, and the group
    std::uint16_t discoveryPort = 3702;            // 0: any free port
    ServerLimits limits;
    // Called on the devices' thread after a device moved to a new address.
    std::function<void()> onMoved;
};

class OnvifDevices {
public:
    OnvifDevices(const std::vector<OnvifProfile>& profiles, OnvifOptions options, ServerCounters& counters);
    ~OnvifDevices();
    OnvifDevices(const OnvifDevices&) = delete;
    OnvifDevices& operator=(const OnvifDevices&) = delete;

    // Binds every device's HTTP server and, if there is any device, the
    // discovery socket; false with `failure` set otherwise.
    bool Open(StartFailure& failure);
    void Begin();
    void Stop();
    // 0 when the fleet has no ONVIF device (no socket is opened then).
    std::uint16_t discoveryPort() const { return discoveryPort_; }
    // The devices as they stand now, each with the HTTP port it is bound to.
    std::vector<OnvifProfile> Snapshot() const;

private:
    struct Device {
        std::unique_ptr<OnvifHttpServer> server;
        int port = 0;        // the HTTP port bound at the start, kept when it moves
        bool quiet = false;  // its new address could not be bound
        std::optional<SimClock::time_point> arriveAt;  // it has left its old address and is due here then
    };

    bool OpenDiscovery(StartFailure& failure);
    void JoinGroup();
    void Run();
    void ReadProbes();
    void Send(const Outgoing& datagram);
    void MoveDevices();
    std::optional<SimClock::time_point> NextArrival() const;
    void Wake();

    OnvifOptions options_;
    ServerCounters& counters_;
    std::vector<OnvifProfile> initial_;
    std::vector<Device> devices_;
    mutable std::mutex mutex_;  // guards Device::quiet against Snapshot
    SourceBudget budget_;
    // MessageIDs of the probes answered lately: a probe sent again with the
    // same MessageID is a retransmission and is answered once.
    std::deque<std::string> recentProbes_;
    DelayedDatagrams delayed_;
    int socket_ = -1;
    int wakeFd_ = -1;
    std::uint16_t discoveryPort_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace devsim
