// One discovery window: our own probes to every target and, unless turned
// off, ONVIF's WS-Discovery; answers collected by a thread per transport,
// each device delivered once to the callback on the calling thread.
#pragma once

#include <cstdint>

#include "netsdk/callback_registry.h"
#include "netsdk/settings.h"

namespace netsdk {

struct DiscoveryStats {
    int probesSent = 0;
    int answers = 0;     // well-formed answers carrying this run's token
    int duplicates = 0;  // of those, devices already seen this run
    int dropped = 0;     // datagrams refused: malformed, oversized, stale or foreign
    int overCap = 0;     // answers of new devices once the run had its 4096
    int rateLimited = 0; // answers of new devices beyond their source address's rate
    int delivered = 0;   // callback calls
    int onvifProbesSent = 0;
    int onvifMatches = 0;       // ProbeMatch entries answering this run's WS-Discovery probes
    int onvifRead = 0;          // ONVIF devices whose Device Management accepted the login
    int sameMacDuplicates = 0;  // devices found by both transports, delivered once
    bool stopped = false;
};

// Runs one window and returns when it has closed and every accepted answer
// has been delivered, or soon after StopDiscovery, however fast datagrams
// arrive. At most 4096 devices are delivered; answers dropped over that cap
// or over a source address's rate are reported in one line on stderr.
// Runs are serialised.
DiscoveryStats RunDiscovery(const Settings& settings, RegisteredCallback callback);
// Ends the window in progress, if any, from any thread. Answers not yet
// delivered are discarded.
void StopDiscovery();
// Figures of the last finished run.
DiscoveryStats LastDiscoveryStats();

}  // namespace netsdk
