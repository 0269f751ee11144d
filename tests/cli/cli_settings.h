// SDK settings files that confine tarnwick-cli to a fleet on loopback.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace cli_testing {

// Writes settings aiming discovery, logins and modifications at the fleet
// whose discovery socket is 127.0.0.1:`port`; returns the file's full path.
inline std::string WriteLoopbackSettings(const std::string& name, std::uint16_t port, const std::string& password) {
    std::ofstream out(name);
    out << "targets = 127.0.0.1\n"
        << "discovery_port = " << port << "\n"
        << "bind_address = 127.0.0.1\n"
        << "window_ms = 700\n"
        << "user = admin\n"
        << "password = " << password << "\n"
        << "connect_timeout_ms = 1000\n"
        << "io_timeout_ms = 1000\n"
        << "modify_timeout_ms = 1500\n";
    return std::filesystem::absolute(name).string();
}

}  // namespace cli_testing
