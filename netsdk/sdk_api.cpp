// Entry points of the SDK's C interface.
#include "netsdk/callback_registry.h"
#include "sdk/q9_netsdk.h"

extern "C" {

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_Init(void) { return 1; }

Q9_BOOL Q9_CALLCONV Q9_NET_DVR_SetDiscoveryCallBack(Q9_DiscoveryCallBack callback, void* user) {
    netsdk::SetRegisteredCallback({callback, user});
    return 1;
}

}  // extern "C"
