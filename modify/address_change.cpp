#include "modify/address_change.h"

#include <algorithm>
#include <cstring>

#include "modify/address_validation.h"

namespace {

// Copies `text` into an address field: at most 15 characters and a NUL.
// False when the text is longer than the field can hold.
bool CopyAddressText(std::string_view text, char (&field)[16]) {
    const std::size_t kept = std::min(text.size(), sizeof field - 1);
    std::memcpy(field, text.data(), kept);
    field[kept] = '\0';
    return text.size() < sizeof field;
}

bool Terminated(const char (&field)[16]) { return strnlen(field, sizeof field) < sizeof field; }

}  // namespace

AddressField ApplyAddressChange(DeviceRecord& record, std::string_view address, std::string_view netmask,
                                std::string_view gateway) {
    NetBlock& eth0 = record.eth0;
    const bool addressFits = CopyAddressText(address, eth0.ip);
    const bool netmaskFits = CopyAddressText(netmask, eth0.mask);
    const bool gatewayFits = CopyAddressText(gateway, eth0.gw);
    if (!addressFits || !IsValidIPv4(eth0.ip)) return AddressField::kAddress;
    if (!netmaskFits || !IsValidIPv4(eth0.mask)) return AddressField::kNetmask;
    if (!gatewayFits || !IsValidIPv4(eth0.gw)) return AddressField::kGateway;
    if (!Terminated(eth0.dns1) || !IsValidIPv4(eth0.dns1)) return AddressField::kDns1;
    if (!Terminated(eth0.dns2) || !IsValidIPv4(eth0.dns2)) return AddressField::kDns2;
    return AddressField::kNone;
}

const char* AddressFieldName(AddressField field) {
    switch (field) {
        case AddressField::kNone: return "none";
        case AddressField::kAddress: return "address";
        case AddressField::kNetmask: return "netmask";
        case AddressField::kGateway: return "gateway";
        case AddressField::kDns1: return "DNS server 1";
        case AddressField::kDns2: return "DNS server 2";
    }
    return "address";
}
