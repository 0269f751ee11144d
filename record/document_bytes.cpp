#include "record/document_bytes.h"

#include <cstdio>
#include <cstdlib>

#include <tinyxml.h>

bool PrintDocument(const TiXmlDocument& document, std::string& bytes) {
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) return false;
    // The same call the file save makes, so the bytes are the same.
    const bool printed = document.SaveFile(stream);
    const bool closed = std::fclose(stream) == 0;
    const bool ok = printed && closed && buffer != nullptr;
    if (ok) bytes.assign(buffer, size);
    std::free(buffer);
    return ok;
}
