// Loading an XML file into a TinyXML document, with limits on what the
// parser is given: it recurses once per nesting level and checks duplicate
// attributes pairwise, so files that are too large, too deep or carry too
// many attributes on one element are refused as if they did not parse.
#pragma once

#include <cstddef>

class TiXmlDocument;

inline constexpr std::size_t kMaxXmlFileBytes = 1u << 20;
inline constexpr int kMaxXmlDepth = 64;
inline constexpr int kMaxXmlAttributesPerElement = 64;

// Loads `path` with the parser's own encoding detection. False when the file
// cannot be opened, exceeds a limit, or the parser reports an error.
bool LoadXmlFile(TiXmlDocument& doc, const char* path);
