// The address change the Modify action sends: the new wired address,
// netmask and gateway put into a device record, and the checks that decide
// whether the record may go to the device. The window's Modify button and
// tarnwick-cli share them.
#pragma once

#include <string_view>

#include "sdk/device_record.h"

// The field that stopped a change; kNone when every check passed.
enum class AddressField { kNone, kAddress, kNetmask, kGateway, kDns1, kDns2 };

// Puts `address`, `netmask` and `gateway` into record.eth0 (each cut to the
// 15 characters its field holds), then checks, in this order, the three
// texts and the record's own two DNS servers with IsValidIPv4. A text longer
// than 15 characters fails rather than being sent cut to an address nobody
// typed; a DNS field without its NUL fails too.
AddressField ApplyAddressChange(DeviceRecord& record, std::string_view address, std::string_view netmask,
                                std::string_view gateway);

// A short English name of `field` for messages ("address", "DNS server 1"...).
const char* AddressFieldName(AddressField field);
