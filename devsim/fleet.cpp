#include "devsim/fleet.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

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

std::string SerialOf(const DeviceRecord& r) { return Fits(r.sn, sizeof r.sn) ? std::string(r.sn) : std::string("?"); }

bool CheckDevice(const DeviceProfile& d, std::string& error) {
    const DeviceRecord& r = d.record;
    auto fail = [&](const std::string& what) {
        error = "device " + SerialOf(r) + ": " + what;
        return false;
    };
    if (r.sn[0] == '\0' || !Fits(r.sn, sizeof r.sn)) return fail("serial number missing or too long");
    if (!Fits(r.model, sizeof r.model)) return fail("model too long");
    if (!IsAddress(r.eth0.ip)) return fail("eth0 ip is not an address");
    if (d.user.size() > 31 || d.password.size() > 15) return fail("user or password too long");
    if (d.password.empty() && !d.verifier) {
        return fail("no password: give password=\"...\" or a verifier (iterations, salt, w0 and L)");
    }
    if (d.sensorModel.size() > 255) return fail("sensor model too long");
    if (d.config.size() > kMaxConfigItems) return fail("more than ten configuration entries");
    for (const ConfigItem& item : d.config) {
        if (item.name.size() > 47 || item.value.size() > 255) return fail("configuration entry too long");
    }
    return true;
}

std::string MacText(const std::uint8_t (&mac)[6]) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

// What two devices may not share, as text; empty where nothing is compared.
struct Identity {
    const char* what;
    std::string (*of)(const DeviceRecord&);
};
constexpr Identity kIdentities[] = {
    {"serial number", [](const DeviceRecord& r) { return std::string(r.sn); }},
    {"eth0 address", [](const DeviceRecord& r) { return std::string(r.eth0.ip); }},
    {"MAC", [](const DeviceRecord& r) {
         static const std::uint8_t kUnset[6] = {};
         return std::memcmp(r.eth0.mac, kUnset, sizeof kUnset) == 0 ? std::string() : MacText(r.eth0.mac);
     }},
};

}  // namespace

bool ValidateFleet(const Fleet& fleet, std::string& error, const std::function<std::string(std::size_t)>& where) {
    const auto prefix = [&](std::size_t i) { return where ? where(i) + ": " : std::string(); };
    std::map<std::string, std::size_t> seen[std::size(kIdentities)];
    for (std::size_t i = 0; i < fleet.devices.size(); ++i) {
        const DeviceRecord& r = fleet.devices[i].record;
        if (!CheckDevice(fleet.devices[i], error)) {
            error = prefix(i) + error;
            return false;
        }
        for (std::size_t k = 0; k < std::size(kIdentities); ++k) {
            const std::string value = kIdentities[k].of(r);
            if (value.empty()) continue;
            const auto [it, fresh] = seen[k].emplace(value, i);
            if (fresh) continue;
            const std::size_t first = it->second;
            error = prefix(i) + "device " + SerialOf(r) + ": " + kIdentities[k].what + " " + value +
                    " already used by " +
                    (where ? "the device on " + where(first) : "device " + SerialOf(fleet.devices[first].record));
            return false;
        }
    }
    return true;
}

}  // namespace devsim
