// The device SDK calls that discovery makes, behind one seam so that tests
// can put an SDK of their own in its place.
#pragma once

#include <cstdint>

#include "sdk/q9_netsdk.h"

class DiscoverySdk {
public:
    virtual ~DiscoverySdk() = default;
    virtual void Init() { Q9_NET_DVR_Init(); }
    virtual void SetDiscoveryCallBack(Q9_DiscoveryCallBack callback, void* user) {
        Q9_NET_DVR_SetDiscoveryCallBack(callback, user);
    }
    virtual void StartDiscovery() { Q9_NET_DVR_StartDiscoveryIPC(); }
    virtual void StopDiscovery() { Q9_NET_DVR_StopDiscoveryIPC(); }
    virtual std::int32_t Login(const char* address, std::uint32_t port, const char* user,
                               const char* password, void* deviceInfo) {
        return Q9_NET_DVR_Login(address, port, user, password, deviceInfo);
    }
    virtual Q9_BOOL GetDVRConfig(std::int32_t handle, std::uint32_t command, std::int32_t channel,
                                 void* buffer, std::uint32_t size, std::uint32_t* bytesReturned) {
        return Q9_NET_DVR_GetDVRConfig(handle, command, channel, buffer, size, bytesReturned);
    }
    virtual void Logout(std::int32_t handle) { Q9_NET_DVR_Logout(handle); }
};

// The SDK the program links with.
DiscoverySdk& LinkedDiscoverySdk();
