#include "netsdk/onvif/xml_document.h"

#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <mutex>

namespace onvif {
namespace {

// Entities are never substituted (no XML_PARSE_NOENT), no external subset is
// loaded (no XML_PARSE_DTDLOAD) and nothing is fetched. XML_PARSE_HUGE stays
// off so libxml2 keeps its own hard limits below ours.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;

// A document type declaration is where entity attacks start; SOAP messages
// never carry one. Stopping at its name means its declarations are never read.
void RefuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// libxml2 reports some errors (encoding failures among them) through its
// generic handler whatever the parse options say; a device's bad bytes must
// not reach our standard error. The handler is per thread in libxml2.
void IgnoreError(void*, const char*, ...) {}

class QuietErrors {
public:
    QuietErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, IgnoreError);
    }
    ~QuietErrors() { xmlSetGenericErrorFunc(context_, handler_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    xmlGenericErrorFunc handler_;
    void* context_;
};

void InitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

bool WithinDepth(const xmlNode* node, int depth) {
    if (depth > kDepthLimit) return false;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && !WithinDepth(child, depth + 1)) return false;
    }
    return true;
}

std::string_view View(const xmlChar* text) {
    return text == nullptr ? std::string_view{} : std::string_view(reinterpret_cast<const char*>(text));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

XmlDocument::XmlDocument(std::string_view text, std::size_t sizeLimit) {
    if (text.size() > sizeLimit || text.size() > static_cast<std::size_t>(INT_MAX)) {
        status_ = XmlStatus::TooLarge;
        return;
    }
    InitOnce();
    const QuietErrors quiet;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (ctxt == nullptr) return;
    ctxt->sax->internalSubset = RefuseDocumentType;
    ctxt->sax->externalSubset = RefuseDocumentType;
    doc_ = xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()), nullptr, nullptr, kParseOptions);
    const bool stopped = ctxt->errNo == XML_ERR_USER_STOP;
    const bool wellFormed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);
    if (stopped || (doc_ != nullptr && (doc_->intSubset != nullptr || doc_->extSubset != nullptr))) {
        status_ = XmlStatus::DocumentType;
    } else if (doc_ == nullptr || !wellFormed || xmlDocGetRootElement(doc_) == nullptr) {
        status_ = XmlStatus::Malformed;
    } else if (!WithinDepth(xmlDocGetRootElement(doc_), 1)) {
        status_ = XmlStatus::TooDeep;
    } else {
        status_ = XmlStatus::Ok;
    }
    if (status_ != XmlStatus::Ok && doc_ != nullptr) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
}

XmlDocument::~XmlDocument() {
    if (doc_ != nullptr) xmlFreeDoc(doc_);
}

const XmlNode* XmlDocument::root() const { return doc_ == nullptr ? nullptr : xmlDocGetRootElement(doc_); }

bool Is(const XmlNode* node, std::string_view ns, std::string_view local) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE || node->ns == nullptr) return false;
    return View(node->name) == local && View(node->ns->href) == ns;
}

const XmlNode* Child(const XmlNode* parent, std::string_view ns, std::string_view local) {
    if (parent == nullptr) return nullptr;
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (Is(child, ns, local)) return child;
    }
    return nullptr;
}

std::vector<const XmlNode*> Children(const XmlNode* parent, std::string_view ns, std::string_view local) {
    std::vector<const XmlNode*> out;
    if (parent == nullptr) return out;
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (Is(child, ns, local)) out.push_back(child);
    }
    return out;
}

const XmlNode* FirstElement(const XmlNode* parent) {
    if (parent == nullptr) return nullptr;
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) return child;
    }
    return nullptr;
}

std::string Text(const XmlNode* node) {
    if (node == nullptr) return {};
    xmlChar* content = xmlNodeGetContent(node);
    std::string_view text = View(content);
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    std::string out(text);
    xmlFree(content);
    return out;
}

std::string Attribute(const XmlNode* node, const char* name) {
    if (node == nullptr) return {};
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string out(View(value));
    xmlFree(value);
    return out;
}

std::string NamespaceOf(const XmlNode* node, std::string_view prefix) {
    if (node == nullptr) return {};
    const std::string key(prefix);
    const xmlNs* found = xmlSearchNs(node->doc, const_cast<xmlNode*>(node),
                                     key.empty() ? nullptr : reinterpret_cast<const xmlChar*>(key.c_str()));
    return found == nullptr ? std::string{} : std::string(View(found->href));
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        std::size_t end = pos;
        while (end < text.size() && !IsSpace(text[end])) ++end;
        if (end > pos) out.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

}  // namespace onvif
