// One accepted control connection: its socket, its ControlSession, the
// input not yet handed to the session and the output not yet written. The
// output is bounded: past the bound the connection reads nothing more until
// the peer takes what is waiting. A connection that has not logged in within
// the login timeout, or a logged-in one that sends nothing for the idle
// timeout, is due to be closed.
#pragma once

#include <cstdint>
#include <vector>

#include "devsim/control_session.h"
#include "devsim/server_limits.h"

namespace devsim {

class ControlConnection {
public:
    // `peer`: the client's IPv4 address (host order).
    ControlConnection(int fd, std::size_t device, DeviceState& state, std::uint32_t peer, const ServerLimits& limits,
                      SimClock::time_point now);
    ~ControlConnection();
    ControlConnection(const ControlConnection&) = delete;
    ControlConnection& operator=(const ControlConnection&) = delete;

    // Serves what epoll reported. Sets `deviceGone` when the device vanishes.
    void OnEvents(std::uint32_t events, SimClock::time_point now, bool& deviceGone);
    // Nothing more will happen on it: close it.
    bool Done() const { return broken_ || (closing_ && unsent_.empty()); }
    // The epoll events it waits for.
    std::uint32_t Interest() const;
    SimClock::time_point Deadline() const;

    int fd() const { return fd_; }
    std::size_t device() const { return device_; }
    bool loggedIn() const { return loggedIn_; }
    SimClock::time_point accepted() const { return accepted_; }

private:
    void Pump(SimClock::time_point now, bool& deviceGone);
    bool Receive(SimClock::time_point now);
    void Feed(SimClock::time_point now, bool& deviceGone);
    void Flush();
    bool OutputFull() const { return unsent_.size() >= limits_.unsentBytes; }

    int fd_;
    std::size_t device_;
    ControlSession session_;
    const ServerLimits& limits_;
    std::vector<std::uint8_t> input_;  // received, not yet given to the session
    std::size_t inputUsed_ = 0;
    std::vector<std::uint8_t> unsent_;
    SimClock::time_point accepted_;
    SimClock::time_point lastHeard_;
    bool loggedIn_ = false;
    bool closing_ = false;  // close once the output is written
    bool broken_ = false;   // the peer is gone or the socket failed
};

}  // namespace devsim
