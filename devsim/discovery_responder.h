// The device side of the discovery port: answers probes for every device of
// the fleet and carries out authenticated modify requests. Pure logic: a
// datagram in, datagrams out (each with a delay), so the event loop, tests
// and fuzzers drive it the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "devsim/device_state.h"

namespace devsim {

struct Outgoing {
    std::uint32_t address = 0;  // host byte order
    std::uint16_t port = 0;
    int delayMs = 0;
    wire::Bytes bytes;
    // The local address the datagram leaves from; 0: the socket's own.
    std::uint32_t from = 0;
};

class DiscoveryResponder {
public:
    // Moves device `index` to the request's address; false if it cannot
    // (for example the address cannot be bound). Called only for requests
    // that authenticated and passed the address rules.
    using ApplyModify = std::function<bool(std::size_t index, const wire::ModifyRequest& request)>;

    DiscoveryResponder(std::vector<DeviceState>& devices, ApplyModify apply)
        : devices_(devices), apply_(std::move(apply)) {}

    void Handle(std::span<const std::uint8_t> datagram, std::uint32_t fromAddress, std::uint16_t fromPort,
                SimClock::time_point now, std::vector<Outgoing>& out);

private:
    void OnProbe(std::span<const std::uint8_t> body, std::uint32_t address, std::uint16_t port,
                 std::vector<Outgoing>& out);
    void OnHello(std::span<const std::uint8_t> body, std::uint32_t address, std::uint16_t port,
                 SimClock::time_point now, std::vector<Outgoing>& out);
    void OnShare(std::span<const std::uint8_t> body, std::uint32_t address, std::uint16_t port,
                 SimClock::time_point now, std::vector<Outgoing>& out);
    void OnRequest(std::span<const std::uint8_t> body, std::uint32_t address, std::uint16_t port,
                   SimClock::time_point now, std::vector<Outgoing>& out);
    wire::Status Decide(std::size_t index, const PendingModify& pending, const wire::ModifyRequest& request,
                        SimClock::time_point now);
    static void Abandon(DeviceState& device, const PendingModify& pending, SimClock::time_point now);
    DeviceState* Find(const wire::DeviceId& id, std::size_t& index);

    std::vector<DeviceState>& devices_;
    ApplyModify apply_;
};

}  // namespace devsim
