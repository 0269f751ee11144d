// The device side of WS-Discovery: which of the fleet's ONVIF devices answer
// a Probe, and the ProbeMatches datagram each one sends back. Pure logic: a
// datagram in, answers out; the socket, the delays and the budget belong to
// whoever runs it.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devsim/onvif/onvif_profile.h"
#include "netsdk/onvif/probe.h"

namespace devsim {

// A device as discovery sees it now: its profile and where its device
// service listens.
struct DiscoverableDevice {
    const OnvifProfile* profile = nullptr;
    std::string address;  // the address its HTTP server is bound to
    int httpPort = 0;
};

struct ProbeAnswer {
    std::size_t device;     // index into the devices given
    std::string datagram;   // one ProbeMatches envelope
};

// The device's endpoint address: a name-based urn:uuid: from its serial
// number, the same in every run.
std::string EndpointAddress(std::string_view serialNumber);
// A fresh random urn:uuid: (version 4); empty if no random bytes.
std::string RandomMessageId();

// True if a device answering `answer` is of every type the probe names; a
// probe naming none matches every device.
bool MatchesProbeTypes(OnvifProbeAnswer answer, std::span<const onvif::QName> types);

// The ProbeMatches of one device for the probe with MessageID `relatesTo`.
std::string ProbeMatchesEnvelope(const DiscoverableDevice& device, std::string_view relatesTo,
                                 std::string_view messageId);

// Answers for every device whose types match the probe (read with
// onvif::ParseProbe). `messageIds` makes each answer's MessageID.
std::vector<ProbeAnswer> AnswerProbe(const onvif::Probe& probe, std::span<const DiscoverableDevice> devices,
                                     const std::function<std::string()>& messageIds = RandomMessageId);

}  // namespace devsim
