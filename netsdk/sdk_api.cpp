// Entry points of the SDK's C interface. Each takes the settings in force
// when it starts; no exception leaves the library.
#include <exception>

#include "netsdk/callback_registry.h"
#include "netsdk/discovery.h"
#include "netsdk/modify.h"
#include "netsdk/net/socket_io.h"
#include "netsdk/prover_secrets.h"
#include "netsdk/sessions.h"
#include "netsdk/settings_store.h"
#include "sdk/q9_netsdk.h"

namespace {

template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

}  // namespace

extern "C" {

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_Init(void) {
    return Guarded(0, [] {
        netsdk::LoadSettings();
        // Hundreds of concurrent logins need more descriptors than the usual soft limit.
        netsdk::net::RaiseOpenFileLimit();
        return 1;
    });
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_SetDiscoveryCallBack(Q9_DiscoveryCallBack callback, void* user) {
    netsdk::SetRegisteredCallback({callback, user});
    return 1;
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_StartDiscoveryIPC(void) {
    return Guarded(0, [] {
        // Secrets derived for the last run's logins are not kept past it.
        netsdk::ForgetProverSecrets();
        netsdk::RunDiscovery(netsdk::CurrentSettings(), netsdk::GetRegisteredCallback());
        return 1;
    });
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_StopDiscoveryIPC(void) {
    netsdk::StopDiscovery();
    return 1;
}

std::int32_t Q9_CALLCONV Q9_NET_DVR_Login(const char* address, std::uint32_t port, const char* user,
                                          const char* password, void* deviceInfo) {
    return Guarded(-1, [&] {
        return netsdk::Login(netsdk::CurrentSettings(), address, port, user, password, deviceInfo);
    });
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_GetDVRConfig(std::int32_t loginHandle, std::uint32_t command,
                                            std::int32_t channel, void* buffer, std::uint32_t bufferSize,
                                            std::uint32_t* bytesReturned) {
    return Guarded(0, [&] {
        return netsdk::GetConfig(netsdk::CurrentSettings(), loginHandle, command, channel, buffer,
                                 bufferSize, bytesReturned)
                   ? 1
                   : 0;
    });
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_Logout(std::int32_t loginHandle) {
    return netsdk::Logout(loginHandle) ? 1 : 0;
}

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_ModifyIPC(const DeviceRecord* record) {
    if (record == nullptr) return 0;
    return Guarded(0, [&] { return netsdk::ModifyDevice(netsdk::CurrentSettings(), *record) ? 1 : 0; });
}

}  // extern "C"
