// tarnwick-devsim: runs a device fleet from a fleet file until interrupted.
//
//   tarnwick-devsim --fleet FILE [--bind-discovery ADDR] [--port N] [--save]
//                   [--login-timeout-ms N] [--idle-timeout-ms N] [--max-connections N]
//   tarnwick-devsim --generate N [--first-address ADDR] [--control-port N] --out FILE
#include <arpa/inet.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Args {
    std::string fleet;
    std::string out;
    std::string bind = "127.0.0.1";
    int port = 39300;
    bool save = false;
    int generate = -1;
    std::string firstAddress = "127.1.0.1";
    int controlPort = 0;
    devsim::ServerLimits limits;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: tarnwick-devsim --fleet FILE [--bind-discovery ADDR] [--port N] [--save]\n"
                 "                       [--login-timeout-ms N] [--idle-timeout-ms N] [--max-connections N]\n"
                 "       tarnwick-devsim --generate N [--first-address ADDR] [--control-port N] --out FILE\n");
    return 2;
}

// The server limits that can be set from the command line; all positive.
bool ParseLimit(const std::string& arg, const char* value, devsim::ServerLimits& limits) {
    const long number = std::atol(value);
    if (number <= 0) return false;
    if (arg == "--login-timeout-ms") {
        limits.loginTimeout = std::chrono::milliseconds(number);
    } else if (arg == "--idle-timeout-ms") {
        limits.idleTimeout = std::chrono::milliseconds(number);
    } else if (arg == "--max-connections") {
        limits.connections = static_cast<std::size_t>(number);
    } else {
        return false;
    }
    return true;
}

bool Parse(int argc, char** argv, Args& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--save") {
            args.save = true;
        } else if (!hasValue) {
            return false;
        } else if (arg == "--fleet") {
            args.fleet = argv[++i];
        } else if (arg == "--out") {
            args.out = argv[++i];
        } else if (arg == "--bind-discovery") {
            args.bind = argv[++i];
        } else if (arg == "--port") {
            args.port = std::atoi(argv[++i]);
        } else if (arg == "--generate") {
            args.generate = std::atoi(argv[++i]);
        } else if (arg == "--first-address") {
            args.firstAddress = argv[++i];
        } else if (arg == "--control-port") {
            args.controlPort = std::atoi(argv[++i]);
        } else if (!ParseLimit(arg, argv[++i], args.limits)) {
            return false;
        }
    }
    return args.port >= 0 && args.port <= 65535 && args.controlPort >= 0 && args.controlPort <= 65535;
}

bool ParseAddress(const std::string& text, std::uint32_t& out) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    out = ntohl(parsed.s_addr);
    return true;
}

int Generate(const Args& args) {
    devsim::GeneratorOptions options;
    options.count = args.generate;
    options.controlPort = static_cast<std::uint16_t>(args.controlPort);
    if (args.out.empty() || args.generate < 0 || !ParseAddress(args.firstAddress, options.firstAddress)) {
        return Usage();
    }
    std::string error;
    if (!devsim::SaveFleetFile(args.out, devsim::GenerateFleet(options), error)) {
        std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Args args;
    if (!Parse(argc, argv, args)) return Usage();
    if (args.generate >= 0) return Generate(args);
    devsim::ServerOptions options;
    if (args.fleet.empty() || !ParseAddress(args.bind, options.discoveryAddress)) return Usage();
    options.discoveryPort = static_cast<std::uint16_t>(args.port);
    options.limits = args.limits;
    if (args.save) options.saveFile = args.fleet;

    devsim::Fleet fleet;
    std::string error;
    if (!devsim::LoadFleetFile(args.fleet, fleet, error)) {
        std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        return 1;
    }
    RaiseOpenFileLimit();
    // Signals are taken before any thread starts, so every thread blocks them
    // and the main thread receives them in sigsuspend.
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &previous);

    auto server = devsim::FleetServer::Start(fleet, options, error);
    if (!server) {
        std::fprintf(stderr, "tarnwick-devsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("tarnwick-devsim: %zu devices, discovery on %s:%u\n", fleet.devices.size(), args.bind.c_str(),
                server->discoveryPort());
    std::fflush(stdout);
    while (!g_stop) sigsuspend(&previous);
    server->Stop();
    return 0;
}
