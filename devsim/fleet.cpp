#include "devsim/fleet.h"

#include <arpa/inet.h>

#include <cctype>
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

bool IsAddress(const std::string& text) { return text.size() < 16 && IsAddress(text.c_str()); }

std::string SerialOf(const OnvifProfile& d) {
    return d.serialNumber.size() <= kOnvifSerialLimit ? d.serialNumber : std::string("?");
}

bool CheckOnvifDevice(const OnvifProfile& d, std::string& error) {
    auto fail = [&](const std::string& what) {
        error = "ONVIF device " + SerialOf(d) + ": " + what;
        return false;
    };
    if (d.serialNumber.empty() || d.serialNumber.size() > kOnvifSerialLimit) {
        return fail("serial number missing or too long");
    }
    for (const std::string* text : {&d.manufacturer, &d.model, &d.firmwareVersion, &d.hardwareId}) {
        if (text->size() > kOnvifTextLimit) return fail("manufacturer, model, firmware or hardware id too long");
    }
    if (d.user.empty() || d.user.size() > kOnvifUserLimit) return fail("user missing or too long");
    if (d.password.empty()) return fail("no password: an ONVIF device computes its digests from the password");
    if (d.password.size() > kOnvifTextLimit) return fail("password too long");
    if (!IsAddress(d.network.address)) return fail("ip is not an address");
    if (d.network.prefixLength < 1 || d.network.prefixLength > 32) return fail("prefix is not 1-32");
    if (!d.gateway.empty() && !IsAddress(d.gateway)) return fail("gw is not an address");
    if (d.dns.size() > kOnvifDnsLimit) return fail("more than four DNS servers");
    for (const std::string& server : d.dns) {
        if (!IsAddress(server)) return fail("dns is not a list of addresses");
    }
    if (d.httpPort < 0 || d.httpPort > 65535 || d.rtspPort < 0 || d.rtspPort > 65535) return fail("port out of range");
    return true;
}

// What two devices may not share, as text; empty where nothing is compared.
struct Identity {
    std::string serial, address, mac;
};
constexpr std::size_t kIdentities = 3;

Identity IdentityOf(const DeviceRecord& r) {
    static const std::uint8_t kUnset[6] = {};
    return {r.sn, r.eth0.ip, std::memcmp(r.eth0.mac, kUnset, sizeof kUnset) == 0 ? std::string() : MacText(r.eth0.mac)};
}

Identity IdentityOf(const OnvifProfile& d) {
    std::string mac = d.network.hwAddress;
    for (char& c : mac) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return {d.serialNumber, d.network.address, mac};
}

}  // namespace

bool ValidateFleet(const Fleet& fleet, std::string& error, const std::function<std::string(std::size_t)>& where) {
    const auto prefix = [&](std::size_t i) { return where ? where(i) + ": " : std::string(); };
    const std::size_t own = fleet.devices.size();
    const auto name = [&](std::size_t i) {
        return i < own ? "device " + SerialOf(fleet.devices[i].record)
                       : "ONVIF device " + SerialOf(fleet.onvifDevices[i - own]);
    };
    std::map<std::string, std::size_t> seen[kIdentities];
    for (std::size_t i = 0; i < own + fleet.onvifDevices.size(); ++i) {
        const bool valid =
            i < own ? CheckDevice(fleet.devices[i], error) : CheckOnvifDevice(fleet.onvifDevices[i - own], error);
        if (!valid) {
            error = prefix(i) + error;
            return false;
        }
        const Identity identity = i < own ? IdentityOf(fleet.devices[i].record) : IdentityOf(fleet.onvifDevices[i - own]);
        const std::string* values[kIdentities] = {&identity.serial, &identity.address, &identity.mac};
        const char* names[kIdentities] = {"serial number", i < own ? "eth0 address" : "address", "MAC"};
        for (std::size_t k = 0; k < kIdentities; ++k) {
            if (values[k]->empty()) continue;
            const auto [it, fresh] = seen[k].emplace(*values[k], i);
            if (fresh) continue;
            const std::size_t first = it->second;
            error = prefix(i) + name(i) + ": " + names[k] + " " + *values[k] + " already used by " +
                    (where ? "the device on " + where(first) : name(first));
            return false;
        }
    }
    return true;
}

}  // namespace devsim
