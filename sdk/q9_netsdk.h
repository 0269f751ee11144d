// The device SDK's C interface: eight functions and the discovery callback.
#pragma once

#include <cstdint>

#include "sdk/device_record.h"

// Calling convention of every SDK function and of the callback: callee-cleans
// (__stdcall) on 32-bit Windows, the platform's only convention elsewhere.
#if defined(_WIN32)
#define Q9_CALLCONV __stdcall
#else
#define Q9_CALLCONV
#endif

#if defined(_WIN32) && defined(NETSDK_BUILDING_DLL)
#define Q9_API __declspec(dllexport)
#else
#define Q9_API
#endif

extern "C" {

typedef int Q9_BOOL;  // nonzero means success

// Called once per answering device while a discovery runs, on a thread of
// the SDK's. The record is valid only during the call.
typedef void(Q9_CALLCONV* Q9_DiscoveryCallBack)(const DeviceRecord* record, void* user);

// Size of the device-information buffer that Q9_NET_DVR_Login fills.
#define Q9_LOGIN_INFO_SIZE 80
// Configuration command that yields 10 SensorConfigEntry items.
#define Q9_GET_SENSOR_CONFIG 533

Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_Init(void);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_SetDiscoveryCallBack(Q9_DiscoveryCallBack callback, void* user);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_StartDiscoveryIPC(void);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_StopDiscoveryIPC(void);
// Returns a login handle, or -1 on failure.
Q9_API std::int32_t Q9_CALLCONV Q9_NET_DVR_Login(const char* address, std::uint32_t port,
                                                 const char* user, const char* password,
                                                 void* deviceInfo);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_GetDVRConfig(std::int32_t loginHandle, std::uint32_t command,
                                                   std::int32_t channel, void* buffer,
                                                   std::uint32_t bufferSize,
                                                   std::uint32_t* bytesReturned);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_Logout(std::int32_t loginHandle);
Q9_API Q9_BOOL Q9_CALLCONV Q9_NET_DVR_ModifyIPC(const DeviceRecord* record);

}  // extern "C"
