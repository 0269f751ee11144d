// One device's "Node" element: writing it from a DeviceRecord, finding it
// by serial number and reading it back. Used inside the record library and
// by its tests.
#pragma once

#include "sdk/device_record.h"

class TiXmlDocument;
class TiXmlElement;

// The document's first child named "TREE" if that child is an element.
TiXmlElement* FindRoot(TiXmlDocument& document);

// Appends a "Node" with its seven children to `root`. False when an element
// could not be created; whatever was linked before stays in the document.
bool AppendNode(TiXmlElement& root, const DeviceRecord& record);

// The first child element of `root` whose first "SN" child has a first
// attribute equal to `serial`, or null.
const TiXmlElement* FindNodeBySerial(const TiXmlElement& root, const char* serial);

// Zeroes `record` and fills it from the elements of `node` that are present,
// taking attributes by position. Values longer than their field are cut.
void ReadNode(const TiXmlElement& node, DeviceRecord& record);
