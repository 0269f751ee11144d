#include "record/document_bytes.h"

#include <cstdio>
#include <cstdlib>

#include <tinyxml.h>

namespace {

// Runs `print` on a memory stream and appends what it wrote to `text`.
template <typename Print>
bool PrintToString(Print print, std::string& text) {
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) return false;
    const bool printed = print(stream);
    const bool closed = std::fclose(stream) == 0;
    const bool ok = printed && closed && buffer != nullptr;
    if (ok) {
        try {
            text.append(buffer, size);
        } catch (...) {
            std::free(buffer);
            throw;
        }
    }
    std::free(buffer);
    return ok;
}

}  // namespace

bool PrintDocument(const TiXmlDocument& document, std::string& bytes) {
    std::string printed;
    // The same call the file save makes, so the bytes are the same.
    if (!PrintToString([&](FILE* stream) { return document.SaveFile(stream); }, printed)) return false;
    bytes.swap(printed);
    return true;
}

bool AppendNodeText(const TiXmlElement& node, std::string& text) {
    // An element with element children prints each on a new line, one
    // level deeper than itself; the root is at level 0.
    return PrintToString(
        [&](FILE* stream) {
            std::fputc('\n', stream);
            node.Print(stream, 1);
            return true;
        },
        text);
}

std::string TreeDocumentText(const std::string& nodesText) {
    // The root without children prints in the empty-element form; with
    // children, its end tag goes on a line of its own. The save ends the
    // document's only top-level node with a line break.
    if (nodesText.empty()) return "<TREE />\n";
    std::string bytes;
    bytes.reserve(nodesText.size() + 16);
    bytes += "<TREE>";
    bytes += nodesText;
    bytes += "\n</TREE>\n";
    return bytes;
}
