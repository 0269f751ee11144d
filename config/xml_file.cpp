#include "config/xml_file.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool StartsWith(const std::string& s, std::size_t at, const char* prefix) {
    return s.compare(at, std::strlen(prefix), prefix) == 0;
}

bool IsNameStart(char c) {
    const auto u = static_cast<unsigned char>(c);
    // The parser starts an element at '<' followed by a letter or '_'; any
    // byte above 0x7F counts as a letter for it.
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}

// Walks the markup the way the parser tells constructs apart and measures the
// deepest element nesting and the most attributes on one element. Where it is
// unsure it counts more, never less.
bool WithinLimits(const std::string& text) {
    int depth = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const std::size_t lt = text.find('<', i);
        if (lt == std::string::npos) break;
        i = lt;
        if (StartsWith(text, i, "<!--")) {
            const std::size_t end = text.find("-->", i + 4);
            i = end == std::string::npos ? n : end + 3;
        } else if (StartsWith(text, i, "<![CDATA[")) {
            const std::size_t end = text.find("]]>", i + 9);
            i = end == std::string::npos ? n : end + 3;
        } else if (StartsWith(text, i, "</")) {
            if (depth > 0) --depth;
            i += 2;
        } else if (i + 1 < n && IsNameStart(text[i + 1])) {
            // A start tag: skip quoted values, count attributes, find its end.
            int attributes = 0;
            bool selfClosing = false;
            std::size_t j = i + 1;
            while (j < n && text[j] != '>') {
                const char c = text[j];
                if (c == '"' || c == '\'') {
                    const std::size_t close = text.find(c, j + 1);
                    j = close == std::string::npos ? n : close + 1;
                    continue;
                }
                if (c == '=') ++attributes;
                if (c == '/' && j + 1 < n && text[j + 1] == '>') selfClosing = true;
                ++j;
            }
            if (attributes > kMaxXmlAttributesPerElement) return false;
            if (!selfClosing && ++depth > kMaxXmlDepth) return false;
            i = j < n ? j + 1 : n;
        } else {
            // Declarations and other markup end at the first '>'.
            const std::size_t end = text.find('>', i + 1);
            i = end == std::string::npos ? n : end + 1;
        }
    }
    return true;
}

}  // namespace

bool LoadXmlFile(TiXmlDocument& doc, const char* path) {
    File file(std::fopen(path, "rb"));
    if (!file) return false;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (bytes.size() > kMaxXmlFileBytes) return false;
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file.get()) || bytes.empty()) return false;
    if (!WithinLimits(bytes)) return false;

    // The checked bytes go to the parser's own file loading, so line ends and
    // encoding detection are exactly its own.
    File memory(fmemopen(bytes.data(), bytes.size(), "rb"));
    if (!memory) return false;
    return doc.LoadFile(memory.get(), TIXML_DEFAULT_ENCODING) && !doc.Error();
}
