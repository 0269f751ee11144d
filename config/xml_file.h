// Loading an XML file into a TinyXML document, with limits on what the
// parser is given. TinyXML 2.6 recurses once per nesting level and checks
// duplicate attributes pairwise, so a file nested too deeply or carrying too
// many attributes on one element could overflow the stack or take very long;
// such files, files that are too large, and files on which the parser would
// read past its buffer or fail an assertion are refused as if they did not
// parse. The check is a scan that follows the parser's own rules
// (config/xml_shape.h), so it sees the nesting the parser will reach.
//
// Config.xml and language.xml load with the default limits; the simulator's
// fleet files load through the same guard with a larger size limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TiXmlDocument;

inline constexpr std::size_t kMaxXmlFileBytes = 1u << 20;
inline constexpr int kMaxXmlDepth = 64;
inline constexpr int kMaxXmlAttributesPerElement = 64;

struct XmlLimits {
    std::size_t bytes = kMaxXmlFileBytes;
    int depth = kMaxXmlDepth;
    int attributes = kMaxXmlAttributesPerElement;
};

enum class XmlLoadResult {
    kLoaded,
    kUnreadable,         // the file cannot be opened or read
    kTooLarge,           // more bytes than the limit
    kTooDeep,            // elements nest deeper than the limit
    kTooManyAttributes,  // one element carries more attributes than the limit
    kNotWellFormed,      // empty, or the parser would fail or misbehave
};

// Loads `path` with the parser's own encoding detection. False when the file
// cannot be opened, exceeds a limit, or the parser would report an error.
bool LoadXmlFile(TiXmlDocument& doc, const char* path);

// The file's bytes, read no further than a little past `limit`: kTooLarge
// as soon as it holds more.
XmlLoadResult ReadXmlFile(const char* path, std::size_t limit, std::string& bytes);
// LoadXmlFile under `limits`, saying what stopped it.
XmlLoadResult LoadXmlFileWithin(TiXmlDocument& doc, const char* path, const XmlLimits& limits);
// The same for bytes already in memory, taken as the file's content.
XmlLoadResult LoadXmlBytesWithin(TiXmlDocument& doc, std::string_view bytes, const XmlLimits& limits);
