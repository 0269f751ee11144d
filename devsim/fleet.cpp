#include "devsim/fleet.h"

#include <arpa/inet.h>

#include <cstring>
#include <set>

#include "netsdk/wire/crypto.h"

namespace devsim {

bool MakeStoredVerifier(std::string_view user, std::string_view password, StoredVerifier& out) {
    StoredVerifier made;
    wire::spake2::ProverSecret secret;
    const bool ok = wire::crypto::RandomBytes(made.params.salt) &&
                    wire::spake2::DeriveProverSecret(password, user, "", made.params, secret) &&
                    wire::spake2::MakeVerifier(secret, made.verifier);
    wire::crypto::Cleanse(secret);
    if (ok) out = made;
    return ok;
}

std::vector<ConfigItem> ConfigEntries(const DeviceProfile& device) {
    if (!device.config.empty()) return device.config;
    std::vector<ConfigItem> entries = {
        {"DeviceName", device.record.sn}, {"VideoStandard", "PAL"}, {"Resolution", "1920x1080"},
        {"SensorModel", device.sensorModel}, {"FrameRate", "25"}, {"Brightness", "50"},
        {"Contrast", "50"}, {"Saturation", "50"}, {"Sharpness", "50"}, {"WdrMode", "off"},
    };
    if (device.behaviour.sensorModelEntries <= 0) entries[3] = {"LensType", "fixed"};
    if (device.behaviour.sensorModelEntries >= 2) entries[7] = {"SensorModel", "SECONDARY"};
    return entries;
}

namespace {

bool Fits(const char* text, std::size_t capacity) { return strnlen(text, capacity) < capacity; }

bool IsAddress(const char* text) {
    in_addr parsed{};
    return Fits(text, 16) && inet_pton(AF_INET, text, &parsed) == 1;
}

bool CheckDevice(const DeviceProfile& d, std::string& error) {
    const DeviceRecord& r = d.record;
    const std::string name = Fits(r.sn, sizeof r.sn) ? std::string(r.sn) : std::string("?");
    auto fail = [&](const std::string& what) {
        error = "device " + name + ": " + what;
        return false;
    };
    if (r.sn[0] == '\0' || !Fits(r.sn, sizeof r.sn)) return fail("serial number missing or too long");
    if (!Fits(r.model, sizeof r.model)) return fail("model too long");
    if (!IsAddress(r.eth0.ip)) return fail("eth0 ip is not an address");
    if (d.user.size() > 31 || d.password.size() > 15) return fail("user or password too long");
    if (d.password.empty() && !d.verifier) return fail("no password and no verifier");
    if (d.sensorModel.size() > 255) return fail("sensor model too long");
    if (d.config.size() > kMaxConfigItems) return fail("more than ten configuration entries");
    for (const ConfigItem& item : d.config) {
        if (item.name.size() > 47 || item.value.size() > 255) return fail("configuration entry too long");
    }
    return true;
}

}  // namespace

bool ValidateFleet(const Fleet& fleet, std::string& error) {
    std::set<std::string> ids;
    for (const DeviceProfile& device : fleet.devices) {
        if (!CheckDevice(device, error)) return false;
        std::string id(device.record.sn);
        id.append(reinterpret_cast<const char*>(device.record.eth0.mac), 6);
        if (!ids.insert(id).second) {
            error = std::string("device ") + device.record.sn + ": serial number and MAC not unique";
            return false;
        }
    }
    return true;
}

}  // namespace devsim
