// Differential target: the shape scan must agree with what TinyXML itself
// builds from the same bytes (nesting, attributes per element, error), for
// every input the scan does not refuse as unsafe.
#include <tinyxml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "config/xml_shape.h"

namespace {

struct DomShape {
    int depth = 0;
    int attributes = 0;
};

void Measure(const TiXmlNode* node, int depth, DomShape& shape) {
    for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling()) {
        const TiXmlElement* element = child->ToElement();
        if (element == nullptr) continue;
        if (depth + 1 > shape.depth) shape.depth = depth + 1;
        int count = 0;
        for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next()) ++count;
        if (count > shape.attributes) shape.attributes = count;
        Measure(element, depth + 1, shape);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Inputs are small, so no cap is reached and the parser's recursion is shallow.
    const XmlShape shape = ScanXmlShape(bytes, {1 << 20, 1 << 20});
    if (shape.unsafe || size == 0) return 0;

    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr) return 0;
    TiXmlDocument doc;
    doc.LoadFile(file, TIXML_DEFAULT_ENCODING);
    std::fclose(file);

    DomShape dom;
    Measure(&doc, 0, dom);
    if (dom.depth != shape.depth || dom.attributes != shape.attributes || doc.Error() == shape.parses) {
        std::fprintf(stderr, "scan: depth %d attributes %d parses %d; parser: depth %d attributes %d error %d\n",
                     shape.depth, shape.attributes, shape.parses, dom.depth, dom.attributes, doc.Error());
        std::abort();
    }
    return 0;
}
