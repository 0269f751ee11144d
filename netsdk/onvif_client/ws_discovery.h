// The ONVIF half of a discovery window: WS-Discovery probes (multicast on
// every interface, or directed to each target), ProbeMatches that answer
// them, and each new device read through Device Management by a small pool
// of workers before it is delivered.
#pragma once

#include <atomic>
#include <functional>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif_client/known_devices.h"
#include "netsdk/settings.h"
#include "sdk/device_record.h"

namespace netsdk::onvif_client {

inline constexpr char kMulticastGroup[] = "239.255.255.250";
inline constexpr std::uint32_t kMulticastAddress = 0xEFFFFFFAu;
// Devices read at once.
inline constexpr int kReadWorkers = 16;

struct WsDiscoveryStats {
    int probesSent = 0;
    int matches = 0;     // ProbeMatch entries answering this run's probes
    int duplicates = 0;  // of those, devices already seen this run
    int dropped = 0;     // datagrams or matches refused
    int overBudget = 0;  // new devices refused by the run's budget
    int read = 0;        // devices whose Device Management accepted the login
};

// A found device with what a later login or modify needs to reach it.
// Delivery returns false when the record is not taken (a device already
// delivered by the other transport).
using Deliver = std::function<bool(const DeviceRecord& record, const KnownDevice& device)>;

// Runs until `end` or until `stop` turns true (`waker` wakes the wait), then
// returns once every worker is done; workers read no later than `end`, and
// a device whose reading the window cut short is delivered with what the
// ProbeMatch gave.
WsDiscoveryStats RunWsDiscovery(const Settings& settings, net::Deadline end, const std::atomic<bool>& stop,
                                const net::Waker& waker, const Deliver& deliver);

}  // namespace netsdk::onvif_client
