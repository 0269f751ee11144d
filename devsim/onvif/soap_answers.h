// The SOAP 1.2 envelopes the simulated device answers with, written by hand
// with the device's own prefixes (SOAP-ENV, tds, tt, ter).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "devsim/onvif/onvif_profile.h"

namespace devsim {

// An envelope around one Body payload.
std::string SoapEnvelope(std::string_view payload);
// A Fault: code "Sender" or "Receiver", subcode a ter: local name, and an
// optional ter: subcode under it.
std::string SoapFault(std::string_view code, std::string_view subcode, std::string_view reason,
                      std::string_view innerSubcode = {});

std::string SystemDateAndTimeAnswer(std::int64_t deviceNow);
std::string DeviceInformationAnswer(const OnvifProfile& device);
std::string ServicesAnswer(std::string_view serviceAddress, OnvifKind kind);
std::string CapabilitiesAnswer(std::string_view serviceAddress);
std::string NetworkInterfacesAnswer(const OnvifProfile& device);
std::string NetworkDefaultGatewayAnswer(const OnvifProfile& device);
std::string DnsAnswer(const OnvifProfile& device);
std::string NetworkProtocolsAnswer(const OnvifProfile& device);
std::string SetNetworkInterfacesAnswer(bool rebootNeeded);
std::string SetNetworkDefaultGatewayAnswer();
std::string SystemRebootAnswer();

}  // namespace devsim
