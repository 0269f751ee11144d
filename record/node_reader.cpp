#include <cstdio>
#include <cstring>

#include <tinyxml.h>

#include "record/discovery_node.h"

namespace {

// Copies an attribute value into a record text field with its NUL, cut to
// the field's width when it is longer.
template <std::size_t N>
void CopyText(const char* value, char (&field)[N]) {
    const std::size_t length = strnlen(value, N - 1);
    std::memcpy(field, value, length);
    field[length] = '\0';
}

// Groups of up to two hex digits in either case, separated by colons; the
// scan stops at the first group that does not match, leaving the rest 0.
void ScanMac(const char* value, std::uint8_t (&mac)[6]) {
    unsigned int octets[6] = {};
    static_cast<void>(std::sscanf(value, "%02x:%02x:%02x:%02x:%02x:%02x", &octets[0], &octets[1],
                                  &octets[2], &octets[3], &octets[4], &octets[5]));
    for (int k = 0; k < 6; ++k) mac[k] = static_cast<std::uint8_t>(octets[k] & 0xFFu);
}

// A decimal integer as TinyXML converts it, keeping its low 16 bits.
std::uint16_t PortValue(const TiXmlAttribute& attribute) {
    return static_cast<std::uint16_t>(static_cast<unsigned>(attribute.IntValue()) & 0xFFFFu);
}

// The element's attribute at `position` (0 is the first), or null when the
// element or the attribute is missing.
const TiXmlAttribute* AttributeAt(const TiXmlElement* element, int position) {
    const TiXmlAttribute* attribute = element != nullptr ? element->FirstAttribute() : nullptr;
    for (; attribute != nullptr && position > 0; --position) attribute = attribute->Next();
    return attribute;
}

void ReadNetBlock(const TiXmlElement* element, NetBlock& block) {
    char(*const texts[])[16] = {&block.ip, &block.mask, &block.gw, &block.dns1, &block.dns2};
    int position = 0;
    for (char(*field)[16] : texts) {
        const TiXmlAttribute* attribute = AttributeAt(element, position++);
        if (attribute == nullptr) return;
        CopyText(attribute->Value(), *field);
    }
    if (const TiXmlAttribute* mac = AttributeAt(element, position)) ScanMac(mac->Value(), block.mac);
}

void ReadPorts(const TiXmlElement* element, DeviceRecord& record) {
    const TiXmlAttribute* attribute = AttributeAt(element, 0);
    if (attribute == nullptr) return;
    record.privatePort = PortValue(*attribute);
    if ((attribute = attribute->Next()) == nullptr) return;
    record.httpPort = PortValue(*attribute);
    if ((attribute = attribute->Next()) == nullptr) return;
    record.rtspPort = PortValue(*attribute);
}

template <std::size_t N>
void ReadText(const TiXmlElement* element, int position, char (&field)[N]) {
    if (const TiXmlAttribute* attribute = AttributeAt(element, position)) CopyText(attribute->Value(), field);
}

}  // namespace

const TiXmlElement* FindNodeBySerial(const TiXmlElement& root, const char* serial) {
    for (const TiXmlElement* node = root.FirstChildElement(); node != nullptr; node = node->NextSiblingElement()) {
        const TiXmlElement* sn = node->FirstChildElement("SN");
        if (sn == nullptr || sn->FirstAttribute() == nullptr) continue;
        if (std::strcmp(sn->FirstAttribute()->Value(), serial) == 0) return node;
    }
    return nullptr;
}

void ReadNode(const TiXmlElement& node, DeviceRecord& record) {
    std::memset(&record, 0, sizeof record);
    ReadNetBlock(node.FirstChildElement("Eth0"), record.eth0);
    ReadNetBlock(node.FirstChildElement("Wifi"), record.wifi);
    ReadNetBlock(node.FirstChildElement("G3"), record.g3);
    ReadPorts(node.FirstChildElement("Port"), record);
    ReadText(node.FirstChildElement("SN"), 0, record.sn);
    const TiXmlElement* user = node.FirstChildElement("User");
    ReadText(user, 0, record.user);
    ReadText(user, 1, record.password);
    ReadText(node.FirstChildElement("Model"), 0, record.model);
}
