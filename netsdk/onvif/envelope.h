// Opening a received SOAP envelope (1.2, or 1.1 as some devices still send)
// and reading typed values out of its elements.
#pragma once

#include <optional>
#include <string_view>

#include "netsdk/onvif/responses.h"
#include "netsdk/onvif/xml_document.h"

namespace onvif {

// The Header element of the envelope, or nullptr.
const XmlNode* EnvelopeHeader(const XmlDocument& doc);
// Finds the first element of the Body. A Fault yields ParseStatus::Fault with
// *fault filled (if fault is not null).
ParseStatus OpenBody(const XmlDocument& doc, const XmlNode*& payload, Fault* fault);
// Parses and opens in one step, expecting the payload element {ns, local}.
ParseStatus OpenResponse(const XmlDocument& doc, std::string_view ns, std::string_view local,
                         const XmlNode*& payload, Fault* fault);

ParseStatus FromXmlStatus(XmlStatus status);

// A QName value ("ter:NotAuthorized") resolved at the element that holds it.
QName ResolveQName(const XmlNode* holder, std::string_view text);

// xsd:boolean ("true", "false", "1", "0"); nullopt otherwise.
std::optional<bool> Boolean(const XmlNode* node);
// A decimal integer within [low, high]; nullopt otherwise.
std::optional<int> Integer(const XmlNode* node, int low, int high);

}  // namespace onvif
