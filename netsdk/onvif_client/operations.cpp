#include "netsdk/onvif_client/operations.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <string>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/rules.h"

namespace netsdk::onvif_client {
namespace {

using std::chrono::milliseconds;

// One try of the gateway step at one address, and the pause between tries.
constexpr milliseconds kAttempt{1000};
constexpr milliseconds kRetryPause{100};

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

bool DottedQuad(const std::string& text) {
    std::uint32_t address = 0;
    return net::ParseIPv4(text.c_str(), address) && address != 0;
}

}  // namespace

std::optional<onvif::DeviceInformation> Login(const Settings& settings, const KnownDevice& device,
                                              const char* user, const char* password) {
    const auto deadline = net::Clock::now() + milliseconds(settings.connectTimeoutMs + settings.ioTimeoutMs);
    DeviceClient client(ServiceUrl(device.service), user, password);
    client.MeasureClock(deadline);
    const CallResult result =
        client.Call("GetDeviceInformation", Request(onvif::DeviceRequest::GetDeviceInformation), deadline);
    onvif::DeviceInformation information;
    if (result.status != CallStatus::Ok ||
        onvif::ParseDeviceInformation(result.body, information) != onvif::ParseStatus::Ok) {
        return std::nullopt;
    }
    return information;
}

bool Modify(const Settings& settings, const KnownDevice& device, const DeviceRecord& record) {
    const std::string address = FieldText(record.eth0.ip);
    const std::string gateway = FieldText(record.eth0.gw);
    const int prefix = onvif::NetmaskToPrefix(FieldText(record.eth0.mask));
    std::uint32_t newHost = 0;
    if (prefix < 0 || !DottedQuad(address) || !DottedQuad(gateway) || device.interfaceToken.empty() ||
        !net::ParseIPv4(address.c_str(), newHost)) {
        return false;
    }
    std::string password = FieldText(record.password);
    const std::string user = FieldText(record.user);
    const auto deadline = net::Clock::now() + milliseconds(settings.modifyTimeoutMs);
    DeviceClient client(ServiceUrl(device.service), user, password);
    client.MeasureClock(deadline);

    const CallResult set = client.Call(
        "SetNetworkInterfaces",
        [&](const onvif::UsernameToken* token) {
            return onvif::BuildSetNetworkInterfaces(device.interfaceToken, address, prefix, token);
        },
        deadline);
    bool rebootNeeded = false;
    if (set.status != CallStatus::Ok ||
        onvif::ParseSetNetworkInterfaces(set.body, rebootNeeded) != onvif::ParseStatus::Ok) {
        OPENSSL_cleanse(password.data(), password.size());
        return false;
    }
    // Without a reboot the device takes its new address at once: the gateway
    // goes to it there (the old address as a fallback). With one, the
    // device stays where it is until it restarts.
    auto setGateway = [&](DeviceClient& to, net::Deadline until) {
        const CallResult result = to.Call(
            "SetNetworkDefaultGateway",
            [&](const onvif::UsernameToken* token) { return onvif::BuildSetNetworkDefaultGateway(gateway, token); },
            until);
        return result.status == CallStatus::Ok &&
               onvif::ParseSetNetworkDefaultGateway(result.body) == onvif::ParseStatus::Ok;
    };
    bool gatewaySet = false;
    if (rebootNeeded || newHost == device.service.host) {
        gatewaySet = setGateway(client, deadline);
    } else {
        // The device takes its new address at once, but not in the same
        // instant as it answers: until the time is up, ask it at the new
        // address, then at the old one, each try bounded so that a host that
        // never answers there cannot take the whole time.
        ServiceAddress moved = device.service;
        moved.host = newHost;
        auto attempt = [&](const ServiceAddress& where) {
            const auto until = std::min(deadline, net::Clock::now() + kAttempt);
            DeviceClient there(ServiceUrl(where), user, password);
            there.MeasureClock(until);
            return setGateway(there, until);
        };
        while (!gatewaySet && net::Clock::now() < deadline) {
            gatewaySet = attempt(moved) || attempt(device.service);
            if (!gatewaySet) std::this_thread::sleep_until(std::min(deadline, net::Clock::now() + kRetryPause));
        }
    }
    bool done = gatewaySet;
    if (done && rebootNeeded) {
        const CallResult reboot = client.Call("SystemReboot", Request(onvif::DeviceRequest::SystemReboot), deadline);
        std::string message;
        done = reboot.status == CallStatus::Ok &&
               onvif::ParseSystemReboot(reboot.body, message) == onvif::ParseStatus::Ok;
    }
    OPENSSL_cleanse(password.data(), password.size());
    if (done) DeviceMoved(device, newHost);
    return done;
}

}  // namespace netsdk::onvif_client
