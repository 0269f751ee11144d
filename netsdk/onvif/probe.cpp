#include "netsdk/onvif/probe.h"

#include "netsdk/onvif/envelope.h"
#include "netsdk/onvif/namespaces.h"

namespace onvif {

namespace {

// More types than any real probe names, and a MessageID longer than any
// URI a client makes: past either the datagram is not answered (the answer
// repeats the MessageID and must still fit one datagram).
constexpr std::size_t kMostTypes = 16;
constexpr std::size_t kLongestMessageId = 256;

}  // namespace

ParseStatus ParseProbe(std::string_view datagram, Probe& out) {
    out = Probe{};
    const XmlDocument doc(datagram, kDatagramLimit);
    const XmlNode* payload = nullptr;
    const ParseStatus status = OpenResponse(doc, ns::kDiscovery, "Probe", payload, nullptr);
    if (status != ParseStatus::Ok) return status;
    out.messageId = Text(Child(EnvelopeHeader(doc), ns::kAddressing, "MessageID"));
    if (out.messageId.empty() || out.messageId.size() > kLongestMessageId) return ParseStatus::Unexpected;
    const XmlNode* types = Child(payload, ns::kDiscovery, "Types");
    const std::vector<std::string> names = SplitList(Text(types));
    if (names.size() > kMostTypes) return ParseStatus::Unexpected;
    for (const std::string& name : names) out.types.push_back(ResolveQName(types, name));
    return ParseStatus::Ok;
}

}  // namespace onvif
