// A TinyXML document as its file save writes it.
#pragma once

#include <string>

class TiXmlDocument;
class TiXmlElement;

// The bytes that TiXmlDocument::SaveFile would write. False when they could
// not be produced.
bool PrintDocument(const TiXmlDocument& document, std::string& bytes);

// Appends what the file save prints for `node`, a child of the root: a line
// break and the node at one level of indentation. False when it could not
// be printed; `text` is then unchanged.
bool AppendNodeText(const TiXmlElement& node, std::string& text);

// The file's bytes for a document whose only child is the root "TREE" and
// whose nodes print as `nodesText` (AppendNodeText, in order).
std::string TreeDocumentText(const std::string& nodesText);
