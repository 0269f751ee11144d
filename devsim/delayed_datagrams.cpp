#include "devsim/delayed_datagrams.h"

namespace devsim {

bool DelayedDatagrams::Add(Outgoing datagram, SimClock::time_point when) {
    if (timers_.size() >= total_) return false;
    std::size_t& waiting = waiting_[datagram.address];
    if (waiting >= perAddress_) return false;
    ++waiting;
    timers_.push(Timer{when, nextSequence_++, std::move(datagram)});
    return true;
}

std::optional<SimClock::time_point> DelayedDatagrams::NextDue() const {
    if (timers_.empty()) return std::nullopt;
    return timers_.top().when;
}

void DelayedDatagrams::TakeDue(SimClock::time_point now, std::vector<Outgoing>& due) {
    while (!timers_.empty() && timers_.top().when <= now) {
        const std::uint32_t address = timers_.top().datagram.address;
        due.push_back(timers_.top().datagram);
        timers_.pop();
        if (--waiting_[address] == 0) waiting_.erase(address);
    }
}

}  // namespace devsim
