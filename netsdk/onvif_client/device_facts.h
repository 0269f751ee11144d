// What Device Management tells about one device, read in the order that
// makes every answer usable, and the device record made of it.
#pragma once

#include <string>
#include <vector>

#include "netsdk/onvif/responses.h"
#include "netsdk/onvif_client/device_client.h"
#include "sdk/device_record.h"

namespace netsdk::onvif_client {

struct DeviceFacts {
    bool loggedIn = false;  // the device accepted our credentials
    onvif::DeviceInformation information;
    std::vector<onvif::NetworkInterface> interfaces;
    std::vector<std::string> gateways;
    onvif::DnsInformation dns;
    std::vector<onvif::NetworkProtocol> protocols;
    std::vector<onvif::Service> services;
};

// GetSystemDateAndTime first (the clock offset for every token after it),
// then the authenticated reads. A device that refuses the login, or an
// answer that does not parse, leaves the facts it would have given empty.
DeviceFacts ReadDeviceFacts(DeviceClient& client, Deadline deadline);

// The record of a device found at `service` through `match`. Address,
// netmask and MAC come from the interface that holds the service's address
// (else the first enabled one); without facts the record holds what the
// ProbeMatch gives: the address, the control and HTTP ports, and the class.
DeviceRecord MakeRecord(const ServiceAddress& service, const onvif::ProbeMatch& match, const DeviceFacts& facts);

// The interface MakeRecord reads; null when there is none with IPv4.
const onvif::NetworkInterface* ServiceInterface(const std::vector<onvif::NetworkInterface>& interfaces,
                                                const std::string& serviceHost);

// The configuration entries (command 533) of a device that accepted a login.
std::vector<SensorConfigEntry> SensorEntries(const onvif::DeviceInformation& information);

}  // namespace netsdk::onvif_client
