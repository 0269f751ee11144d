// What an event of the fleet's epoll set is about: a kind in the upper 32
// bits of its tag, an index or descriptor in the lower ones.
#pragma once

#include <sys/epoll.h>

#include <cstdint>

namespace devsim {

enum class EventKind : std::uint64_t { Stop = 1, Discovery = 2, Listener = 3, Connection = 4 };

inline std::uint64_t EventTag(EventKind kind, std::uint64_t value) {
    return (static_cast<std::uint64_t>(kind) << 32) | value;
}
inline EventKind KindOf(const epoll_event& event) { return static_cast<EventKind>(event.data.u64 >> 32); }
inline std::uint64_t ValueOf(const epoll_event& event) { return event.data.u64 & 0xFFFFFFFFu; }

// Adds `fd` to the set (op EPOLL_CTL_ADD) or changes what it waits for (EPOLL_CTL_MOD).
inline void WatchFd(int epoll, int op, int fd, std::uint32_t events, std::uint64_t tag) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = tag;
    epoll_ctl(epoll, op, fd, &event);
}

}  // namespace devsim
