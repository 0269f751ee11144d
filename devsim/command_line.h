// The simulator's command line: what to do and with which options, or one
// line saying what is wrong with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "devsim/server_limits.h"

namespace devsim {

enum class Command { kRun, kGenerate, kHelp, kVersion };

struct CommandLine {
    Command command = Command::kRun;
    std::string fleet;                              // --fleet
    std::uint32_t discoveryAddress = 0x7F000001u;   // --bind-discovery, host byte order
    std::uint16_t port = 39300;                     // --port
    std::uint16_t onvifPort = 3702;                 // --onvif-port
    std::optional<std::uint16_t> controlPort;       // --control-port
    bool save = false;                              // --save
    ServerLimits limits;                            // --login-timeout-ms, --idle-timeout-ms, --max-connections
    int generate = 0;                               // --generate
    std::uint32_t firstAddress = 0x7F010001u;       // --first-address
    std::string out;                                // --out
};

// Most devices --generate writes: the file stays within what a fleet file
// may hold.
inline constexpr int kMostGenerated = 16384;

// Reads argv. False with `error` set to one line (without the program's
// name) when an option is unknown, lacks its value, has a value out of its
// range, or does not go with the others.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

// The usage with every option described, for --help.
const char* UsageText();

}  // namespace devsim
