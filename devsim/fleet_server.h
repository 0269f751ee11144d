// Runs a fleet on real sockets: one discovery socket answering for every
// device, and per device a TCP control port on the device's own address.
// One event-loop thread serves everything, within the bounds of
// ServerLimits, so that no client can stall it or make it grow. The fleet's
// ONVIF devices run beside it (devsim/onvif_devices.h): a WS-Discovery
// socket and an HTTP server per device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devsim/auth_limiter.h"
#include "devsim/fleet.h"
#include "devsim/server_counters.h"
#include "devsim/server_limits.h"
#include "devsim/start_failure.h"

namespace devsim {

struct ServerOptions {
    std::uint32_t discoveryAddress = 0x7F000001u;  // host byte order; 0 for every interface
    std::uint16_t discoveryPort = 39300;           // 0: any free port
    std::uint16_t onvifDiscoveryPort = 3702;      // WS-Discovery on discoveryAddress; 0: any free port
    std::string saveFile;  // when set, the fleet is saved here after each accepted modify or ONVIF move
    LimiterPolicy limiter;
    ServerLimits limits;
};

class FleetServer {
public:
    // Binds every socket, then starts the event loop. Null with `failure`
    // set if any address cannot be bound; the discovery address and port are
    // refused while another socket holds them.
    static std::unique_ptr<FleetServer> Start(const Fleet& fleet, const ServerOptions& options,
                                              StartFailure& failure);
    static std::unique_ptr<FleetServer> Start(const Fleet& fleet, const ServerOptions& options,
                                              std::string& error);
    ~FleetServer();
    FleetServer(const FleetServer&) = delete;
    FleetServer& operator=(const FleetServer&) = delete;

    void Stop();
    std::uint16_t discoveryPort() const { return discoveryPort_; }
    // The WS-Discovery port; 0 when the fleet has no ONVIF device, which
    // opens no WS-Discovery socket.
    std::uint16_t onvifDiscoveryPort() const { return onvifDiscoveryPort_; }
    // The fleet as it stands now, with accepted modifications and the
    // control ports (and ONVIF devices' HTTP ports) actually bound.
    Fleet Snapshot() const;
    const ServerCounters& counters() const { return counters_; }

private:
    class Loop;
    FleetServer() = default;

    std::unique_ptr<Loop> loop_;
    std::uint16_t discoveryPort_ = 0;
    std::uint16_t onvifDiscoveryPort_ = 0;
    ServerCounters counters_;
};

}  // namespace devsim
