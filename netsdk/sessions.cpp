#include "netsdk/sessions.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "netsdk/frame_io.h"
#include "netsdk/onvif_client/device_facts.h"
#include "netsdk/onvif_client/operations.h"
#include "netsdk/prover_secrets.h"
#include "netsdk/wire/auth.h"
#include "sdk/q9_netsdk.h"

namespace netsdk {
namespace {

using std::chrono::milliseconds;

struct Session {
    net::Socket socket;
    // An ONVIF device: the configuration block its login read. ONVIF keeps
    // no session on the device, so nothing else is held.
    std::optional<std::vector<SensorConfigEntry>> onvifEntries;
    std::mutex mutex;     // one request at a time on the stream
    bool broken = false;  // a request failed half-way: the stream is out of step
};

std::mutex g_tableMutex;
std::map<std::int32_t, std::shared_ptr<Session>> g_sessions;
std::int32_t g_nextHandle = 1;

std::int32_t AddSession(std::shared_ptr<Session> session) {
    std::lock_guard lock(g_tableMutex);
    for (;;) {
        const std::int32_t handle = g_nextHandle;
        g_nextHandle = g_nextHandle == INT32_MAX ? 1 : g_nextHandle + 1;
        if (g_sessions.emplace(handle, session).second) return handle;
    }
}

std::shared_ptr<Session> FindSession(std::int32_t handle) {
    std::lock_guard lock(g_tableMutex);
    const auto it = g_sessions.find(handle);
    return it == g_sessions.end() ? nullptr : it->second;
}

// Text arguments are read no further than their field's width, so an
// unterminated one cannot lead the SDK past its end.
bool FitsField(const char* text, std::size_t capacity) {
    return text != nullptr && strnlen(text, capacity) < capacity;
}

// Login by key exchange. The client says nothing that depends on the
// password before the device has proved that it holds the verifier: a rogue
// device gets one share, which tests no guess.
bool Handshake(const net::Socket& socket, const char* user, const char* password, net::Deadline deadline,
               wire::LoginResult& result) {
    wire::LoginStart start;
    std::strncpy(start.user, user, sizeof start.user - 1);
    wire::LoginParams params;
    if (!SendFrame(socket, wire::Encode(start), deadline) ||
        !ReadFrame(socket, wire::MsgType::LoginParams, params, deadline)) {
        return false;
    }
    wire::spake2::ProverSecret secret;
    wire::spake2::Prover prover;
    wire::LoginShare share;
    const bool started = ProverSecretFor(user, password, params.params, secret) && prover.Start(secret, share.shareP);
    wire::crypto::Cleanse(secret);
    wire::LoginConfirm confirm;
    if (!started || !SendFrame(socket, wire::Encode(share), deadline) ||
        !ReadFrame(socket, wire::MsgType::LoginConfirm, confirm, deadline) || confirm.status != wire::Status::Ok) {
        return false;
    }
    const wire::Bytes context = wire::LoginContext(params.params);
    wire::spake2::Keys keys;
    const bool verified = prover.Finish({context, user, ""}, confirm.shareV, keys) &&
                          wire::ProofMatches(wire::spake2::ConfirmV(keys, share.shareP), confirm.confirmV);
    wire::LoginFinish finish;
    finish.confirmP = wire::spake2::ConfirmP(keys, confirm.shareV);
    const bool answered = verified && SendFrame(socket, wire::Encode(finish), deadline) &&
                          ReadFrame(socket, wire::MsgType::LoginResult, result, deadline);
    // The result counts only under the shared key: nobody else can forge it.
    const bool ok = answered && wire::ProofMatches(wire::MacOf(keys.shared, wire::LoginResultMacBytes(result)),
                                                   result.mac) &&
                    result.status == wire::Status::Ok;
    wire::crypto::Cleanse(keys);
    return ok;
}

void FillDeviceInfo(void* deviceInfo, const char* serial, std::size_t serialSize, const char* model,
                    std::size_t modelSize) {
    if (deviceInfo == nullptr) return;
    auto* info = static_cast<unsigned char*>(deviceInfo);
    std::memset(info, 0, 80);
    std::memcpy(info, serial, std::min<std::size_t>(serialSize, 47));
    std::memcpy(info + 48, model, std::min<std::size_t>(modelSize, 31));
}

std::int32_t OnvifLogin(const Settings& settings, const onvif_client::KnownDevice& device, const char* user,
                        const char* password, void* deviceInfo) {
    const auto information = onvif_client::Login(settings, device, user, password);
    if (!information) return -1;
    FillDeviceInfo(deviceInfo, information->serialNumber.data(), information->serialNumber.size(),
                   device.recordModel.data(), device.recordModel.size());
    auto session = std::make_shared<Session>();
    session->onvifEntries = onvif_client::SensorEntries(*information);
    return AddSession(std::move(session));
}

}  // namespace

std::int32_t Login(const Settings& settings, const char* address, std::uint32_t port,
                   const char* user, const char* password, void* deviceInfo) {
    std::uint32_t ip = 0;
    if (!FitsField(address, 16) || !FitsField(user, 32) || !FitsField(password, 16) || port == 0 ||
        port > 65535 || !net::ParseIPv4(address, ip)) {
        return -1;
    }
    if (const auto device = onvif_client::FindDeviceAt(ip, static_cast<std::uint16_t>(port))) {
        return OnvifLogin(settings, *device, user, password, deviceInfo);
    }
    auto session = std::make_shared<Session>();
    const auto connectDeadline = net::Clock::now() + milliseconds(settings.connectTimeoutMs);
    session->socket = net::ConnectTcp({ip, static_cast<std::uint16_t>(port)}, connectDeadline);
    if (!session->socket.valid()) return -1;
    const auto deadline = net::Clock::now() + milliseconds(settings.ioTimeoutMs);
    wire::LoginResult result;
    if (!Handshake(session->socket, user, password, deadline, result)) return -1;
    FillDeviceInfo(deviceInfo, result.sn, strnlen(result.sn, sizeof result.sn), result.model,
                   strnlen(result.model, sizeof result.model));
    return AddSession(std::move(session));
}

bool GetConfig(const Settings& settings, std::int32_t handle, std::uint32_t command,
               std::int32_t channel, void* buffer, std::uint32_t bufferSize,
               std::uint32_t* bytesReturned) {
    if (buffer == nullptr || bufferSize < kSensorConfigBlockSize) return false;
    const std::shared_ptr<Session> session = FindSession(handle);
    if (!session) return false;
    std::lock_guard lock(session->mutex);
    if (session->onvifEntries) {
        if (command != Q9_GET_SENSOR_CONFIG) return false;
        std::memset(buffer, 0, kSensorConfigBlockSize);
        const std::size_t bytes = session->onvifEntries->size() * sizeof(SensorConfigEntry);
        std::memcpy(buffer, session->onvifEntries->data(), bytes);
        if (bytesReturned != nullptr) *bytesReturned = static_cast<std::uint32_t>(bytes);
        return true;
    }
    if (session->broken) return false;
    const auto deadline = net::Clock::now() + milliseconds(settings.ioTimeoutMs);
    wire::ConfigResult result;
    if (!SendFrame(session->socket, wire::Encode(wire::ConfigRequest{command, channel}), deadline) ||
        !ReadFrame(session->socket, wire::MsgType::ConfigResult, result, deadline)) {
        session->broken = true;
        return false;
    }
    if (result.status != wire::Status::Ok) return false;
    std::memset(buffer, 0, kSensorConfigBlockSize);
    const std::size_t bytes = result.count * sizeof(SensorConfigEntry);
    std::memcpy(buffer, result.entries.data(), bytes);
    if (bytesReturned != nullptr) *bytesReturned = static_cast<std::uint32_t>(bytes);
    return true;
}

bool Logout(std::int32_t handle) {
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(g_tableMutex);
        const auto it = g_sessions.find(handle);
        if (it == g_sessions.end()) return false;
        session = std::move(it->second);
        g_sessions.erase(it);
    }
    // Say goodbye when the stream is idle; a request in flight on another
    // thread is cut short instead.
    if (session->mutex.try_lock()) {
        if (!session->broken && !session->onvifEntries) {
            SendFrame(session->socket, wire::EncodeLogout(), net::Clock::now() + milliseconds(200));
        }
        session->mutex.unlock();
    }
    session->socket.Shutdown();
    return true;
}

int OpenSessionCount() {
    std::lock_guard lock(g_tableMutex);
    return static_cast<int>(g_sessions.size());
}

}  // namespace netsdk
