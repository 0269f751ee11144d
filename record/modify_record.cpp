#include "record/modify_record.h"

#include <new>

#include <tinyxml.h>

#include "record/discovery_node.h"

bool ModifyRecordOf(const DeviceRecord& discovered, DeviceRecord& modifyRecord) {
    auto* root = new (std::nothrow) TiXmlElement("TREE");
    if (root == nullptr) return false;
    TiXmlDocument document;
    document.LinkEndChild(root);
    if (!AppendNode(*root, discovered)) return false;
    const TiXmlElement* node = root->FirstChildElement("Node");
    if (node == nullptr) return false;
    ReadNode(*node, modifyRecord);
    return true;
}
