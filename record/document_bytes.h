// A TinyXML document as its file save writes it.
#pragma once

#include <string>

class TiXmlDocument;

// The bytes that TiXmlDocument::SaveFile would write. False when they could
// not be produced.
bool PrintDocument(const TiXmlDocument& document, std::string& bytes);
