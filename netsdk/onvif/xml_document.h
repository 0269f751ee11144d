// A received XML document, parsed by libxml2 with network access, entity
// substitution and document type declarations refused, under our own size
// and depth limits. Elements are found by namespace URI and local name.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace onvif {

using XmlNode = _xmlNode;

inline constexpr std::size_t kDatagramLimit = 64 * 1024;  // one discovery datagram
inline constexpr std::size_t kBodyLimit = 1024 * 1024;    // one HTTP response body
inline constexpr int kDepthLimit = 64;

enum class XmlStatus { Ok, TooLarge, TooDeep, DocumentType, Malformed };

class XmlDocument {
public:
    // Parses text no longer than sizeLimit; status() tells why it failed.
    XmlDocument(std::string_view text, std::size_t sizeLimit);
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    XmlStatus status() const { return status_; }
    const XmlNode* root() const;

private:
    XmlStatus status_ = XmlStatus::Malformed;
    _xmlDoc* doc_ = nullptr;
};

// True if the element has this namespace URI and local name.
bool Is(const XmlNode* node, std::string_view ns, std::string_view local);
// The first child element with this name, or nullptr (also for a null parent).
const XmlNode* Child(const XmlNode* parent, std::string_view ns, std::string_view local);
// All child elements with this name, in order.
std::vector<const XmlNode*> Children(const XmlNode* parent, std::string_view ns, std::string_view local);
// The first child element of any name, or nullptr.
const XmlNode* FirstElement(const XmlNode* parent);
// The element's text content with surrounding white space removed; empty for null.
std::string Text(const XmlNode* node);
// The value of an attribute without namespace; empty if absent.
std::string Attribute(const XmlNode* node, const char* name);
// The namespace URI a prefix stands for at this element ("" for none or unknown).
std::string NamespaceOf(const XmlNode* node, std::string_view prefix);
// Splits on XML white space.
std::vector<std::string> SplitList(std::string_view text);

}  // namespace onvif
