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

// The whole file, or false when it cannot be read or exceeds the size limit.
bool ReadSmallFile(const char* path, std::string& bytes) {
    File file(std::fopen(path, "rb"));
    if (!file) return false;
    char buffer[16384];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (bytes.size() > kMaxXmlFileBytes) return false;
        if (got < sizeof buffer) break;
    }
    return !std::ferror(file.get());
}

}  // namespace

bool LoadXmlFile(TiXmlDocument& doc, const char* path) {
    std::string bytes;
    if (!ReadSmallFile(path, bytes) || bytes.empty()) return false;
    const XmlShape shape = ScanXmlShape(bytes, {kMaxXmlDepth, kMaxXmlAttributesPerElement});
    if (!shape.parses) return false;

    // The checked bytes go to the parser's own file loading, so line ends and
    // encoding detection are exactly its own.
    File memory(fmemopen(bytes.data(), bytes.size(), "rb"));
    if (!memory) return false;
    return doc.LoadFile(memory.get(), TIXML_DEFAULT_ENCODING) && !doc.Error();
}
