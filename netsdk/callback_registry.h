// The discovery callback and its user pointer, as registered by the caller.
#pragma once

#include "sdk/q9_netsdk.h"

namespace netsdk {

struct RegisteredCallback {
    Q9_DiscoveryCallBack callback = nullptr;
    void* user = nullptr;
};

void SetRegisteredCallback(RegisteredCallback value);
RegisteredCallback GetRegisteredCallback();

}  // namespace netsdk
