// Loading an XML file into a TinyXML document, with limits on what the
// parser is given. TinyXML 2.6 recurses once per nesting level and checks
// duplicate attributes pairwise, so a file nested too deeply or carrying too
// many attributes on one element could overflow the stack or take very long;
// such files, files that are too large, and files on which the parser would
// read past its buffer or fail an assertion are refused as if they did not
// parse. The check is a scan that follows the parser's own rules
// (config/xml_shape.h), so it sees the nesting the parser will reach.
#pragma once

#include <cstddef>

class TiXmlDocument;

inline constexpr std::size_t kMaxXmlFileBytes = 1u << 20;
inline constexpr int kMaxXmlDepth = 64;
inline constexpr int kMaxXmlAttributesPerElement = 64;

// Loads `path` with the parser's own encoding detection. False when the file
// cannot be opened, exceeds a limit, or the parser would report an error.
bool LoadXmlFile(TiXmlDocument& doc, const char* path);
