// ProbeMatches: the unicast answers to our multicast Probe.
#include <algorithm>

#include "netsdk/onvif/envelope.h"
#include "netsdk/onvif/namespaces.h"

namespace onvif {
namespace {

ProbeMatch ReadMatch(const XmlNode* node) {
    ProbeMatch match;
    match.address = Text(Child(Child(node, ns::kAddressing, "EndpointReference"), ns::kAddressing, "Address"));
    const XmlNode* types = Child(node, ns::kDiscovery, "Types");
    for (const std::string& type : SplitList(Text(types))) match.types.push_back(ResolveQName(types, type));
    match.scopes = SplitList(Text(Child(node, ns::kDiscovery, "Scopes")));
    match.xaddrs = SplitList(Text(Child(node, ns::kDiscovery, "XAddrs")));
    return match;
}

}  // namespace

ParseStatus ParseProbeMatches(std::string_view datagram, ProbeMatches& out) {
    out = ProbeMatches{};
    const XmlDocument doc(datagram, kDatagramLimit);
    const XmlNode* payload = nullptr;
    const ParseStatus status = OpenResponse(doc, ns::kDiscovery, "ProbeMatches", payload, nullptr);
    if (status != ParseStatus::Ok) return status;
    const XmlNode* header = EnvelopeHeader(doc);
    out.messageId = Text(Child(header, ns::kAddressing, "MessageID"));
    out.relatesTo = Text(Child(header, ns::kAddressing, "RelatesTo"));
    if (out.relatesTo.empty()) return ParseStatus::Unexpected;
    for (const XmlNode* node : Children(payload, ns::kDiscovery, "ProbeMatch")) {
        ProbeMatch match = ReadMatch(node);
        if (!match.address.empty()) out.matches.push_back(std::move(match));
    }
    return ParseStatus::Ok;
}

bool AnswersProbe(const ProbeMatches& answer, std::span<const std::string> probeIds) {
    return !answer.relatesTo.empty() &&
           std::find(probeIds.begin(), probeIds.end(), answer.relatesTo) != probeIds.end();
}

}  // namespace onvif
