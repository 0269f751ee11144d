// Datagrams waiting for their send time (answer delays, late answers). The
// queue is bounded in total and per destination address; beyond either
// bound a datagram is dropped, as a busy device drops what it cannot keep.
#pragma once

#include <cstdint>
#include <optional>
#include <queue>
#include <unordered_map>
#include <vector>

#include "devsim/discovery_responder.h"

namespace devsim {

class DelayedDatagrams {
public:
    DelayedDatagrams(std::size_t total, std::size_t perAddress) : total_(total), perAddress_(perAddress) {}

    // False if the datagram was dropped.
    bool Add(Outgoing datagram, SimClock::time_point when);
    std::optional<SimClock::time_point> NextDue() const;
    // Appends every datagram due at `now` to `due`, earliest first.
    void TakeDue(SimClock::time_point now, std::vector<Outgoing>& due);

private:
    struct Timer {
        SimClock::time_point when;
        std::uint64_t sequence;  // keeps datagrams due at the same time in order
        Outgoing datagram;
        bool operator>(const Timer& other) const {
            return when != other.when ? when > other.when : sequence > other.sequence;
        }
    };

    std::size_t total_;
    std::size_t perAddress_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
    std::unordered_map<std::uint32_t, std::size_t> waiting_;  // per destination address
    std::uint64_t nextSequence_ = 0;
};

}  // namespace devsim
