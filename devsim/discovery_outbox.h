// Everything the discovery port sends goes through here: each datagram is
// charged to its destination's budget, waits for its send time if it has a
// delay, and waits for room in the socket if the socket is full. Every one
// of these stages is bounded; what does not fit is dropped and counted.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "devsim/delayed_datagrams.h"
#include "devsim/server_counters.h"
#include "devsim/source_budget.h"

namespace devsim {

class DiscoveryOutbox {
public:
    DiscoveryOutbox(const ServerLimits& limits, ServerCounters& counters)
        : budget_(limits.answers), delayed_(limits.delayedDatagrams, limits.delayedDatagramsPerAddress),
          unsentLimit_(limits.unsentDatagrams), counters_(counters) {}

    void SetSocket(int fd) { socket_ = fd; }
    // False when nothing more may be sent to `address` for now, so that a
    // datagram from it need not even be answered.
    bool MaySendTo(std::uint32_t address, SimClock::time_point now) { return budget_.Available(address, now); }
    void Post(Outgoing datagram, SimClock::time_point now);
    // Sends the delayed datagrams that are due.
    void SendDue(SimClock::time_point now);
    // The socket has room again.
    void OnWritable();
    bool WaitsForRoom() const { return !unsent_.empty(); }
    std::optional<SimClock::time_point> NextDue() const { return delayed_.NextDue(); }

private:
    void Send(Outgoing datagram);
    bool TrySend(const Outgoing& datagram);

    SourceBudget budget_;
    DelayedDatagrams delayed_;
    std::deque<Outgoing> unsent_;
    std::size_t unsentLimit_;
    ServerCounters& counters_;
    int socket_ = -1;
};

}  // namespace devsim
