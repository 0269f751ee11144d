#include "netsdk/targets.h"

#include <algorithm>

namespace netsdk {

std::vector<net::Endpoint> ResolveTargets(const Settings& settings) {
    std::vector<net::Endpoint> endpoints;
    auto add = [&](std::uint32_t address, std::uint16_t port) {
        const net::Endpoint endpoint{address, port != 0 ? port : settings.discoveryPort};
        if (std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end()) {
            endpoints.push_back(endpoint);
        }
    };
    if (settings.autoTargets) {
        for (std::uint32_t broadcast : net::BroadcastAddresses()) add(broadcast, 0);
        add(0x7F000001u, 0);
    } else {
        for (const Target& target : settings.targets) add(target.address, target.port);
    }
    return endpoints;
}

}  // namespace netsdk
