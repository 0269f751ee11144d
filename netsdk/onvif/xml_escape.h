// Escaping of text and attribute values written into an envelope.
#pragma once

#include <string>
#include <string_view>

namespace onvif {

// Replaces & < > " ' by their entity references. Control characters that XML
// 1.0 cannot carry (below 0x20 except tab, LF, CR) are dropped.
std::string XmlEscape(std::string_view text);

}  // namespace onvif
