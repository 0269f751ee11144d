// The device side of WS-Discovery: reading a Probe that a client sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "netsdk/onvif/responses.h"

namespace onvif {

struct Probe {
    std::string messageId;     // what the ProbeMatches' RelatesTo names
    std::vector<QName> types;  // resolved; empty: any device matches
};

// Ok only for a SOAP envelope whose Body holds a d:Probe and whose header
// has a MessageID; a probe without one cannot be answered.
ParseStatus ParseProbe(std::string_view datagram, Probe& out);

}  // namespace onvif
