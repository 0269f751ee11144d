#include "discovery/discovery_sdk.h"

DiscoverySdk& LinkedDiscoverySdk() {
    static DiscoverySdk sdk;
    return sdk;
}
