// What a running fleet has done, readable from any thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace devsim {

struct ServerCounters {
    std::atomic<std::uint64_t> probes{0};
    std::atomic<std::uint64_t> answers{0};
    std::atomic<std::uint64_t> loginConnections{0};
    std::atomic<std::uint64_t> modifyRequests{0};  // modify exchanges begun (hellos received)
    std::atomic<std::uint64_t> modifiesApplied{0};
    std::atomic<std::uint64_t> connectionsRefused{0};  // closed at once: over a connection cap
    std::atomic<std::uint64_t> connectionsExpired{0};  // closed for taking too long to log in, or idling
    std::atomic<std::uint64_t> connectionsEvicted{0};  // pushed out, not logged in, by a newer one
    std::atomic<std::uint64_t> acceptPauses{0};        // times the listeners rested, out of descriptors
    std::atomic<std::uint64_t> datagramsDropped{0};    // over an answer budget or a queue bound
    std::atomic<std::uint64_t> onvifProbes{0};         // readable WS-Discovery probes
    std::atomic<std::uint64_t> onvifAnswers{0};        // ProbeMatches sent
    std::atomic<std::uint64_t> onvifMoves{0};          // ONVIF devices now serving at a new address
};

}  // namespace devsim
