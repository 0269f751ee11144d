// What TinyXML 2.6 would make of a file, worked out without building the
// document: how deep its elements nest, how many attributes one element
// carries, and whether the parse would fail or misbehave.
//
// The scan follows the parser's own rules step by step (its way of telling
// markup apart, its encoding switch after the first declaration, its
// multi-byte characters in UTF-8 mode, its white-space and entity handling),
// so the nesting it reports is the nesting the parser's recursion reaches.
#pragma once

#include <string_view>

struct XmlShapeCaps {
    int depth;       // scanning stops once elements nest deeper than this
    int attributes;  // ... or one element carries more attributes than this
};

struct XmlShape {
    bool parses = false;    // the parser would load the text without an error
    bool unsafe = false;    // the parser would read past its text or fail an assertion
    bool overCaps = false;  // a cap was exceeded; the scan stopped there
    int depth = 0;          // deepest element nesting reached; the root is 1
    int attributes = 0;     // most attributes read on one element
};

// `fileBytes` are the whole file as TiXmlDocument::LoadFile would read it.
XmlShape ScanXmlShape(std::string_view fileBytes, const XmlShapeCaps& caps);
