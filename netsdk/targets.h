// Where discovery probes and modify requests go.
#pragma once

#include <vector>

#include "netsdk/net/socket_io.h"
#include "netsdk/settings.h"

namespace netsdk {

// The configured targets with their ports filled in; with automatic
// targets, every up interface's broadcast address plus 127.0.0.1.
std::vector<net::Endpoint> ResolveTargets(const Settings& settings);

}  // namespace netsdk
