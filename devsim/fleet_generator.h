// Builds large fleets in code, for tests and benchmarks: devices of every
// class on consecutive loopback addresses, with the serial prefixes and
// sensor models of the sample catalogue.
#pragma once

#include <cstdint>
#include <string>

#include "devsim/fleet.h"

namespace devsim {

struct GeneratorOptions {
    int count = 250;
    std::uint32_t firstAddress = 0x7F010001u;  // 127.1.0.1; .0 and .255 hosts are skipped
    std::uint16_t controlPort = 0;             // 0: each device gets a free port
    std::string user = "admin";
    std::string password = "tarnwick";
    bool camerasOnly = false;
};

Fleet GenerateFleet(const GeneratorOptions& options);

// The generator's serial number of device `index`, for tests that look one up.
std::string GeneratedSerial(const GeneratorOptions& options, int index);

}  // namespace devsim
