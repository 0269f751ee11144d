// The command line of tarnwick-cli.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class CliCommand { kHelp, kVersion, kDiscover, kModify };
enum class OutputFormat { kTable, kJson, kCsv };

struct DiscoverOptions {
    // By class, in the order of kDeviceClasses (IPC, DVR, DEC, NVR).
    std::array<bool, 4> classes{true, true, true, true};
    OutputFormat format = OutputFormat::kTable;
    bool cameraModels = true;
};

struct ModifyOptions {
    std::string serial;
    std::uint8_t mac[6] = {};
    std::string address;
    std::string netmask;
    std::string gateway;
};

struct CliOptions {
    CliCommand command = CliCommand::kHelp;
    DiscoverOptions discover;
    ModifyOptions modify;
};

// Reads `args` (the arguments after the program's name). False with
// `error` set when they are not a valid command line.
bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// Reads "aa:bb:cc:dd:ee:ff" (either case). False for anything else.
bool ParseMac(const std::string& text, std::uint8_t (&mac)[6]);
