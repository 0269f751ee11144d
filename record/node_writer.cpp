#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <tinyxml.h>

#include "record/discovery_node.h"

namespace {

TiXmlElement* AppendChild(TiXmlElement& parent, const char* name) {
    auto* child = new (std::nothrow) TiXmlElement(name);
    if (child != nullptr) parent.LinkEndChild(child);
    return child;
}

// A record text up to its first NUL, never past its field: a field that
// fills its width without a NUL gives all of its bytes.
template <std::size_t N>
void SetTextAttribute(TiXmlElement& element, const char* name, const char (&field)[N]) {
    element.SetAttribute(name, std::string(field, strnlen(field, N)).c_str());
}

void SetMacAttribute(TiXmlElement& element, const std::uint8_t (&mac)[6]) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", unsigned{mac[0]}, unsigned{mac[1]},
                  unsigned{mac[2]}, unsigned{mac[3]}, unsigned{mac[4]}, unsigned{mac[5]});
    element.SetAttribute("MAC", text);
}

bool AppendNetBlock(TiXmlElement& node, const char* name, const NetBlock& block) {
    TiXmlElement* element = AppendChild(node, name);
    if (element == nullptr) return false;
    SetTextAttribute(*element, "IP", block.ip);
    SetTextAttribute(*element, "Mask", block.mask);
    SetTextAttribute(*element, "GW", block.gw);
    SetTextAttribute(*element, "DNS1", block.dns1);
    SetTextAttribute(*element, "DNS2", block.dns2);
    SetMacAttribute(*element, block.mac);
    return true;
}

bool AppendPorts(TiXmlElement& node, const DeviceRecord& record) {
    TiXmlElement* element = AppendChild(node, "Port");
    if (element == nullptr) return false;
    element->SetAttribute("Private", static_cast<int>(record.privatePort));
    element->SetAttribute("Http", static_cast<int>(record.httpPort));
    element->SetAttribute("Rtsp", static_cast<int>(record.rtspPort));
    return true;
}

bool AppendSerial(TiXmlElement& node, const DeviceRecord& record) {
    TiXmlElement* element = AppendChild(node, "SN");
    if (element == nullptr) return false;
    SetTextAttribute(*element, "A", record.sn);
    return true;
}

bool AppendUser(TiXmlElement& node, const DeviceRecord& record) {
    TiXmlElement* element = AppendChild(node, "User");
    if (element == nullptr) return false;
    SetTextAttribute(*element, "U", record.user);
    SetTextAttribute(*element, "P", record.password);
    return true;
}

bool AppendModel(TiXmlElement& node, const DeviceRecord& record) {
    TiXmlElement* element = AppendChild(node, "Model");
    if (element == nullptr) return false;
    SetTextAttribute(*element, "A", record.model);
    return true;
}

}  // namespace

TiXmlElement* FindRoot(TiXmlDocument& document) {
    return TiXmlHandle(&document).FirstChild("TREE").ToElement();
}

bool AppendNode(TiXmlElement& root, const DeviceRecord& record) {
    TiXmlElement* node = AppendChild(root, "Node");
    if (node == nullptr) return false;
    return AppendNetBlock(*node, "Eth0", record.eth0) && AppendNetBlock(*node, "Wifi", record.wifi) &&
           AppendNetBlock(*node, "G3", record.g3) && AppendPorts(*node, record) &&
           AppendSerial(*node, record) && AppendUser(*node, record) && AppendModel(*node, record);
}
