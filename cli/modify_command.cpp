#include "cli/modify_command.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/device_discovery.h"
#include "cli/exit_codes.h"
#include "modify/address_change.h"
#include "record/modify_record.h"
#include "sdk/q9_netsdk.h"

namespace {

int Refused(AddressField field, const std::string& text) {
    std::fprintf(stderr, "tarnwick-cli: the %s \"%s\" is not a dotted quad of at most 15 characters with parts up to 255; nothing was sent\n",
                 AddressFieldName(field), text.c_str());
    return kExitRefused;
}

const std::string& TextOf(AddressField field, const ModifyOptions& options) {
    if (field == AddressField::kNetmask) return options.netmask;
    if (field == AddressField::kGateway) return options.gateway;
    return options.address;
}

const DeviceRecord* FindDevice(const std::vector<DeviceRecord>& records, const ModifyOptions& options) {
    for (const DeviceRecord& record : records) {
        if (std::strncmp(record.sn, options.serial.c_str(), sizeof record.sn) == 0 &&
            options.serial.size() < sizeof record.sn &&
            std::memcmp(record.eth0.mac, options.mac, sizeof options.mac) == 0)
            return &record;
    }
    return nullptr;
}

}  // namespace

int RunModify(const ModifyOptions& options) {
    // The three new texts first, so that a typo costs no discovery. The DNS
    // servers are the device's own and are checked once it has answered.
    DeviceRecord scratch{};
    const AddressField typed = ApplyAddressChange(scratch, options.address, options.netmask, options.gateway);
    if (typed == AddressField::kAddress || typed == AddressField::kNetmask || typed == AddressField::kGateway)
        return Refused(typed, TextOf(typed, options));

    const std::array<bool, 4> allClasses{true, true, true, true};
    std::vector<DeviceRecord> records;
    if (!DiscoverDevices(allClasses, records)) {
        std::fprintf(stderr, "tarnwick-cli: the device SDK could not run a discovery\n");
        return kExitError;
    }
    const DeviceRecord* device = FindDevice(records, options);
    if (device == nullptr) {
        std::fprintf(stderr, "tarnwick-cli: no device with serial number %s and that MAC answered the discovery\n",
                     options.serial.c_str());
        return kExitNoDevice;
    }

    DeviceRecord modifyRecord{};
    if (!ModifyRecordOf(*device, modifyRecord)) {
        std::fprintf(stderr, "tarnwick-cli: out of memory\n");
        return kExitError;
    }
    const AddressField checked = ApplyAddressChange(modifyRecord, options.address, options.netmask, options.gateway);
    if (checked == AddressField::kDns1 || checked == AddressField::kDns2) {
        std::fprintf(stderr, "tarnwick-cli: the device's own %s is not a valid address, so the window would not send the change either; nothing was sent\n",
                     AddressFieldName(checked));
        return kExitRefused;
    }
    if (checked != AddressField::kNone) return Refused(checked, TextOf(checked, options));

    if (Q9_NET_DVR_ModifyIPC(&modifyRecord) == 0) {
        std::fprintf(stderr, "tarnwick-cli: Modify Failed: %s did not confirm the change\n", options.serial.c_str());
        return kExitModifyFailed;
    }
    std::printf("Modify OK: %s now at %s, netmask %s, gateway %s\n", options.serial.c_str(), modifyRecord.eth0.ip,
                modifyRecord.eth0.mask, modifyRecord.eth0.gw);
    return kExitOk;
}
