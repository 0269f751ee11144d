// Small rules that turn ONVIF answers into the device record's terms.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "netsdk/onvif/responses.h"

namespace onvif {

// 24 -> "255.255.255.0"; empty for a length outside 0..32.
std::string PrefixToNetmask(int prefixLength);
// "255.255.255.0" -> 24; -1 for text that is no dotted quad or a mask whose
// one bits are not contiguous.
int NetmaskToPrefix(std::string_view netmask);

// "V5.5.3 build 200101" -> MakeVersion(5, 5): the first "<digits>.<digits>"
// in the text; 0 when there is none or a part does not fit 16 bits.
std::uint32_t FirmwareVersion(std::string_view firmware);

// "00:11:22:AA:bb:cc" (or with '-') -> six bytes; false otherwise.
bool ParseMac(std::string_view text, std::array<std::uint8_t, 6>& mac);

// What the class rule looks at.
struct ClassEvidence {
    std::string_view model;               // GetDeviceInformation Model
    std::span<const QName> types;         // ProbeMatch Types
    std::span<const std::string> scopes;  // ProbeMatch Scopes
    std::span<const Service> services;    // GetServices
};

// "NVR", "DVR", "IPC" or "DEC".
std::string DeviceClass(const ClassEvidence& evidence);

// The record's model text: the model itself when it already begins with a
// class name, otherwise class + "-" + model; cut to 31 bytes so that it fits
// the 32-byte field with its terminator.
std::string RecordModel(const ClassEvidence& evidence);

}  // namespace onvif
