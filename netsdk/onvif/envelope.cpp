#include "netsdk/onvif/envelope.h"

#include <libxml/tree.h>

#include <charconv>
#include <string>

#include "netsdk/onvif/namespaces.h"

namespace onvif {
namespace {

// The SOAP namespace of the envelope's root, or nullptr if it is not one.
const char* EnvelopeNamespace(const XmlNode* root) {
    if (Is(root, ns::kSoap12, "Envelope")) return ns::kSoap12;
    if (Is(root, ns::kSoap11, "Envelope")) return ns::kSoap11;
    return nullptr;
}

void ReadFault12(const XmlNode* node, Fault& out) {
    const XmlNode* code = Child(node, ns::kSoap12, "Code");
    const XmlNode* value = Child(code, ns::kSoap12, "Value");
    out.code = ResolveQName(value, Text(value));
    const XmlNode* subValue = Child(Child(code, ns::kSoap12, "Subcode"), ns::kSoap12, "Value");
    if (subValue != nullptr) out.subcode = ResolveQName(subValue, Text(subValue));
    out.reason = Text(Child(Child(node, ns::kSoap12, "Reason"), ns::kSoap12, "Text"));
}

// SOAP 1.1 faults carry unqualified faultcode and faultstring children.
void ReadFault11(const XmlNode* node, Fault& out) {
    for (const XmlNode* child = FirstElement(node); child != nullptr; child = child->next) {
        if (child->ns != nullptr) continue;
        const std::string_view name(reinterpret_cast<const char*>(child->name));
        if (name == "faultcode") out.code = ResolveQName(child, Text(child));
        if (name == "faultstring") out.reason = Text(child);
    }
}

}  // namespace

ParseStatus FromXmlStatus(XmlStatus status) {
    switch (status) {
        case XmlStatus::Ok: return ParseStatus::Ok;
        case XmlStatus::TooLarge: return ParseStatus::TooLarge;
        case XmlStatus::TooDeep: return ParseStatus::TooDeep;
        case XmlStatus::DocumentType: return ParseStatus::DocumentType;
        case XmlStatus::Malformed: return ParseStatus::Malformed;
    }
    return ParseStatus::Malformed;
}

const XmlNode* EnvelopeHeader(const XmlDocument& doc) {
    const char* soap = EnvelopeNamespace(doc.root());
    return soap == nullptr ? nullptr : Child(doc.root(), soap, "Header");
}

ParseStatus OpenBody(const XmlDocument& doc, const XmlNode*& payload, Fault* fault) {
    payload = nullptr;
    if (doc.status() != XmlStatus::Ok) return FromXmlStatus(doc.status());
    const char* soap = EnvelopeNamespace(doc.root());
    const XmlNode* body = soap == nullptr ? nullptr : Child(doc.root(), soap, "Body");
    if (body == nullptr) return ParseStatus::NotSoap;
    payload = FirstElement(body);
    if (payload == nullptr) return ParseStatus::Unexpected;
    if (!Is(payload, soap, "Fault")) return ParseStatus::Ok;
    if (fault != nullptr) {
        *fault = Fault{};
        if (soap == ns::kSoap12) ReadFault12(payload, *fault);
        else ReadFault11(payload, *fault);
    }
    return ParseStatus::Fault;
}

ParseStatus OpenResponse(const XmlDocument& doc, std::string_view ns, std::string_view local,
                         const XmlNode*& payload, Fault* fault) {
    const ParseStatus status = OpenBody(doc, payload, fault);
    if (status != ParseStatus::Ok) return status;
    return Is(payload, ns, local) ? ParseStatus::Ok : ParseStatus::Unexpected;
}

QName ResolveQName(const XmlNode* holder, std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::string_view prefix = colon == std::string_view::npos ? std::string_view{} : text.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos ? text : text.substr(colon + 1);
    return QName{NamespaceOf(holder, prefix), std::string(local)};
}

std::optional<bool> Boolean(const XmlNode* node) {
    const std::string text = Text(node);
    if (text == "true" || text == "1") return true;
    if (text == "false" || text == "0") return false;
    return std::nullopt;
}

std::optional<int> Integer(const XmlNode* node, int low, int high) {
    const std::string text = Text(node);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace onvif
