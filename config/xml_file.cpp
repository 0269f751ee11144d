#include "config/xml_file.h"

#include <tinyxml.h>

#include <cstdio>
#include <memory>
#include <string>

#include "config/xml_shape.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

XmlLoadResult ReadXmlFile(const char* path, std::size_t limit, std::string& bytes) {
    File file(std::fopen(path, "rb"));
    if (!file) return XmlLoadResult::kUnreadable;
    char buffer[16384];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (bytes.size() > limit) return XmlLoadResult::kTooLarge;
        if (got < sizeof buffer) break;
    }
    return std::ferror(file.get()) ? XmlLoadResult::kUnreadable : XmlLoadResult::kLoaded;
}

XmlLoadResult LoadXmlBytesWithin(TiXmlDocument& doc, std::string_view bytes, const XmlLimits& limits) {
    if (bytes.size() > limits.bytes) return XmlLoadResult::kTooLarge;
    if (bytes.empty()) return XmlLoadResult::kNotWellFormed;
    const XmlShape shape = ScanXmlShape(bytes, {limits.depth, limits.attributes});
    if (shape.overCaps) {
        return shape.attributes > limits.attributes ? XmlLoadResult::kTooManyAttributes : XmlLoadResult::kTooDeep;
    }
    if (!shape.parses) return XmlLoadResult::kNotWellFormed;

    // The checked bytes go to the parser's own file loading, so line ends and
    // encoding detection are exactly its own. A stream opened for reading
    // never writes to its buffer.
    File memory(fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"));
    if (!memory) return XmlLoadResult::kUnreadable;
    return doc.LoadFile(memory.get(), TIXML_DEFAULT_ENCODING) && !doc.Error() ? XmlLoadResult::kLoaded
                                                                             : XmlLoadResult::kNotWellFormed;
}

XmlLoadResult LoadXmlFileWithin(TiXmlDocument& doc, const char* path, const XmlLimits& limits) {
    std::string bytes;
    const XmlLoadResult read = ReadXmlFile(path, limits.bytes, bytes);
    if (read != XmlLoadResult::kLoaded) return read;
    return LoadXmlBytesWithin(doc, bytes, limits);
}

bool LoadXmlFile(TiXmlDocument& doc, const char* path) {
    return LoadXmlFileWithin(doc, path, XmlLimits{}) == XmlLoadResult::kLoaded;
}
