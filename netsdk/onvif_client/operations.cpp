#include "netsdk/onvif_client/operations.h"

#include <openssl/crypto.h>

#include <cstring>
#include <string>
#include <thread>

#include "netsdk/net/socket_io.h"
#include "netsdk/onvif/requests.h"
#include "netsdk/onvif/rules.h"

namespace netsdk::onvif_client {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kMovePause{50};

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
    if (!rebootNeeded && newHost != device.service.host) {
        ServiceAddress moved = device.service;
        moved.host = newHost;
        // Half the time left at most, so that the fallback still has time.
        const auto half = net::Clock::now() + (deadline - net::Clock::now()) / 2;
        DeviceClient there(ServiceUrl(moved), user, password);
        // The device takes its new address a moment after it answered: a
        // connection there is refused until then. Asked again every 50 ms
        // until it answers at all, or half the time is gone.
        for (;;) {
            const bool answered = there.MeasureClock(half);
            gatewaySet = setGateway(there, half);
            if (gatewaySet || answered || net::Clock::now() + kMovePause >= half) break;
            std::this_thread::sleep_for(kMovePause);
        }
    }
    if (!gatewaySet) gatewaySet = setGateway(client, deadline);
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
