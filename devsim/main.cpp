// tarnwick-devsim: runs a device fleet from a fleet file until interrupted,
// or writes a generated fleet file. `tarnwick-devsim --help` lists the
// options (devsim/command_line.cpp).
#include <arpa/inet.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "devsim/command_line.h"
#include "devsim/fleet_generator.h"
#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"

namespace {

// Exit statuses, as --help describes them.
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;
constexpr int kAddressInUse = 3;

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

int Fail(const std::string& line, int status = kFailed) {
    std::fprintf(stderr, "tarnwick-devsim: %s\n", line.c_str());
    return status;
}

int Generate(const devsim::CommandLine& line) {
    devsim::GeneratorOptions options;
    options.count = line.generate;
    options.firstAddress = line.firstAddress;
    options.controlPort = line.controlPort.value_or(0);
    std::string error;
    if (!devsim::SaveFleetFile(line.out, devsim::GenerateFleet(options), error)) return Fail(error);
    return 0;
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Signals are taken before any thread starts, so every thread blocks them
// and the main thread receives them in sigsuspend.
sigset_t TakeStopSignals() {
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    return previous;
}

int Run(const devsim::CommandLine& line) {
    devsim::Fleet fleet;
    std::string error;
    if (!devsim::LoadFleetFile(line.fleet, fleet, error)) return Fail(error);
    if (line.controlPort) {
        for (devsim::DeviceProfile& device : fleet.devices) device.record.privatePort = *line.controlPort;
    }
    devsim::ServerOptions options;
    options.discoveryAddress = line.discoveryAddress;
    options.discoveryPort = line.port;
    options.onvifDiscoveryPort = line.onvifPort;
    options.limits = line.limits;
    if (line.save) options.saveFile = line.fleet;

    RaiseOpenFileLimit();
    const sigset_t previous = TakeStopSignals();
    devsim::StartFailure failure;
    auto server = devsim::FleetServer::Start(fleet, options, failure);
    if (!server) return Fail(failure.text, failure.addressInUse ? kAddressInUse : kFailed);
    const in_addr address{htonl(line.discoveryAddress)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    // The ready line comes last and ends with the discovery port: scripts and
    // tests wait for it and read the port from its end.
    if (!fleet.onvifDevices.empty()) {
        std::printf("tarnwick-devsim: %zu ONVIF devices, WS-Discovery probes on %s:%u\n", fleet.onvifDevices.size(),
                    text, server->onvifDiscoveryPort());
    }
    std::printf("tarnwick-devsim: %zu devices, discovery on %s:%u\n", fleet.devices.size(), text,
                server->discoveryPort());
    std::fflush(stdout);
    while (!g_stop) sigsuspend(&previous);
    server->Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    devsim::CommandLine line;
    std::string error;
    if (!devsim::ParseCommandLine(argc, argv, line, error)) {
        return Fail(error + " (tarnwick-devsim --help lists the options)", kBadUsage);
    }
    switch (line.command) {
        case devsim::Command::kHelp: std::fputs(devsim::UsageText(), stdout); return 0;
        case devsim::Command::kVersion: std::printf("tarnwick-devsim %s\n", TARNWICK_VERSION); return 0;
        case devsim::Command::kGenerate: return Generate(line);
        case devsim::Command::kRun: return Run(line);
    }
    return kFailed;
}
