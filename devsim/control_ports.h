// The fleet's TCP side: a listener per device and the connections accepted
// on them, run inside the fleet's event loop. A device that is full makes
// room by closing its oldest connection that has not logged in, so silent
// connections cannot keep a client out; connections beyond the caps
// otherwise (a device full of sessions, the total) are closed at once; connections past their
// deadline are closed by Tick. When accepting fails for want of descriptors
// the listeners rest for a moment instead of waking the loop again at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "devsim/control_connection.h"
#include "devsim/server_counters.h"
#include "devsim/start_failure.h"

namespace devsim {

class ControlPorts {
public:
    ControlPorts(std::vector<DeviceState>& devices, const ServerLimits& limits, ServerCounters& counters)
        : devices_(devices), limits_(limits), counters_(counters) {}
    ~ControlPorts();
    ControlPorts(const ControlPorts&) = delete;
    ControlPorts& operator=(const ControlPorts&) = delete;

    // Listens on every device's address and control port, recording the
    // port bound; false with `failure` set. The listeners join `epoll`.
    bool Open(int epoll, StartFailure& failure);
    void OnListener(std::size_t device, SimClock::time_point now);
    void OnConnection(int fd, std::uint32_t events, SimClock::time_point now);
    // Closes the connections past their deadline; ends a rest of the listeners.
    void Tick(SimClock::time_point now);
    // When Tick has something to do next.
    std::optional<SimClock::time_point> NextTick() const;

    // The device leaves the network: its listener closes.
    void CloseListener(std::size_t device);
    // The device listens on `address` from now on; false if it cannot.
    bool MoveListener(std::size_t device, std::uint32_t address);

private:
    struct Entry {
        std::unique_ptr<ControlConnection> connection;
        std::uint32_t watched = 0;  // the events registered in the epoll set
    };
    using Entries = std::unordered_map<int, Entry>;

    bool HasRoom(std::size_t device) const;
    // Closes the device's oldest connection that has not logged in; false
    // if every one has.
    bool EvictOldestWaiting(std::size_t device);
    void Admit(int fd, std::size_t device, std::uint32_t peer, SimClock::time_point now);
    Entries::iterator Drop(Entries::iterator it);
    void Rest(SimClock::time_point now);
    void WatchListeners(std::uint32_t events);

    std::vector<DeviceState>& devices_;
    const ServerLimits& limits_;
    ServerCounters& counters_;
    int epoll_ = -1;
    std::vector<int> listeners_;
    std::vector<std::size_t> perDevice_;  // open connections of each device
    std::size_t cap_ = 0;                 // open connections in total
    Entries connections_;
    SimClock::time_point nextSweep_{};
    std::optional<SimClock::time_point> restUntil_;  // the listeners rest until then
};

}  // namespace devsim
