#include "devsim/command_line.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace devsim {
namespace {

const char kUsage[] =
    "usage: tarnwick-devsim --fleet FILE [--bind-discovery ADDR] [--port N] [--onvif-port N]\n"
    "                       [--control-port N] [--save]\n"
    "                       [--login-timeout-ms N] [--idle-timeout-ms N] [--max-connections N]\n"
    "       tarnwick-devsim --generate N --out FILE [--first-address ADDR] [--control-port N]\n"
    "       tarnwick-devsim --help | --version\n"
    "\n"
    "Runs a fleet of simulated devices on loopback until SIGINT or SIGTERM, or writes\n"
    "a generated fleet file. Fleet files are described in netsdk/PROTOCOL.md.\n"
    "\n"
    "A <Fleet> holds <Device> elements of our own protocol and ONVIF devices:\n"
    "  <OnvifDevice sn=\"..\" manufacturer=\"..\" model=\"..\" firmware=\"..\" hardwareId=\"..\"\n"
    "               user=\"admin\" password=\"..\" mac=\"aa:bb:cc:dd:ee:ff\" ip=\"127.0.2.1\"\n"
    "               prefix=\"24\" gw=\"..\" dns=\"A,B\" httpPort=\"8080\" rtspPort=\"554\" dhcp=\"0\">\n"
    "    <Behaviour clockOffset=\"SECONDS\" rebootNeeded=\"0|1\" refuseLogins=\"0|1\"\n"
    "               answerDelayMs=\"N\" moveDelayMs=\"N\"\n"
    "               probeTypes=\"both|NetworkVideoTransmitter|Device\"\n"
    "               digestOnly=\"0|1\"/>   <!-- optional -->\n"
    "  </OnvifDevice>\n"
    "httpPort 0 takes a free port. ONVIF devices keep their password in the file.\n"
    "\n"
    "Running a fleet:\n"
    "  --fleet FILE           the fleet file to run\n"
    "  --bind-discovery ADDR  IPv4 address of the discovery sockets (default 127.0.0.1;\n"
    "                         0.0.0.0 answers on every interface, and WS-Discovery\n"
    "                         then also joins the multicast group 239.255.255.250)\n"
    "  --port N               UDP discovery port, 0-65535 (default 39300); 0 takes a\n"
    "                         free port, which the ready line on stdout names\n"
    "  --onvif-port N         UDP WS-Discovery port of the fleet's <OnvifDevice>s,\n"
    "                         0-65535 (default 3702); 0 takes a free port, named on\n"
    "                         stdout before the ready line. Each ONVIF device serves\n"
    "                         http://ip:httpPort/onvif/device_service on its own\n"
    "                         address; none: no WS-Discovery socket is opened\n"
    "  --control-port N       every device listens on TCP port N, 0-65535, instead of\n"
    "                         its controlPort; 0 gives each device a free port\n"
    "  --save                 write accepted modifications (and ONVIF devices that\n"
    "                         moved to a new address) back to FILE\n"
    "  --login-timeout-ms N   close a connection that has not logged in after N ms,\n"
    "                         1-3600000 (default 10000)\n"
    "  --idle-timeout-ms N    close a logged-in connection silent for N ms,\n"
    "                         1-86400000 (default 300000)\n"
    "  --max-connections N    open connections in total, 1-1048576 (default: what\n"
    "                         the descriptor limit leaves, at most 4096)\n"
    "\n"
    "Writing a generated fleet:\n"
    "  --generate N           N devices of every class, 1-16384, on consecutive addresses\n"
    "  --out FILE             the file to write (mode 0600)\n"
    "  --first-address ADDR   the first device's IPv4 address (default 127.1.0.1)\n"
    "  --control-port N       the devices' controlPort, 0-65535 (default 0: a free port\n"
    "                         each when the fleet runs)\n"
    "\n"
    "  --help                 print this text and exit\n"
    "  --version              print the version and exit\n"
    "\n"
    "Exit status: 0 when stopped by a signal or when the file is written, 1 when the\n"
    "fleet file is refused or a socket cannot be opened, 2 on a bad command line,\n"
    "3 when an address and port the fleet needs are in use by another socket.\n";

enum class Applies { kBoth, kRun, kGenerate };

// Reads an option's value into the command line; false with the reason.
using Reader = bool (*)(const char* value, CommandLine& line, std::string& why);

struct Option {
    const char* name;
    bool takesValue;
    Applies applies;
    Reader read;
};

template <typename Int>
bool Number(const char* text, long long low, long long high, Int& out, std::string& why) {
    long long value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || stop != end || stop == text || value < low || value > high) {
        why = "not a number from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    out = static_cast<Int>(value);
    return true;
}

bool Address(const char* text, std::uint32_t& out, std::string& why) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text, &parsed) != 1) {
        why = "not an IPv4 address";
        return false;
    }
    out = ntohl(parsed.s_addr);
    return true;
}

bool Path(const char* text, std::string& out, std::string& why) {
    if (*text == '\0') {
        why = "an empty file name";
        return false;
    }
    out = text;
    return true;
}

bool Milliseconds(const char* text, long long high, std::chrono::milliseconds& out, std::string& why) {
    long long value = 0;
    if (!Number(text, 1, high, value, why)) return false;
    out = std::chrono::milliseconds(value);
    return true;
}

const Option kOptions[] = {
    {"--fleet", true, Applies::kRun, [](const char* v, CommandLine& l, std::string& w) { return Path(v, l.fleet, w); }},
    {"--bind-discovery", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Address(v, l.discoveryAddress, w); }},
    {"--port", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Number(v, 0, 65535, l.port, w); }},
    {"--onvif-port", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Number(v, 0, 65535, l.onvifPort, w); }},
    {"--control-port", true, Applies::kBoth,
     [](const char* v, CommandLine& l, std::string& w) {
         std::uint16_t port = 0;
         if (!Number(v, 0, 65535, port, w)) return false;
         l.controlPort = port;
         return true;
     }},
    {"--save", false, Applies::kRun, [](const char*, CommandLine& l, std::string&) { return l.save = true; }},
    {"--login-timeout-ms", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Milliseconds(v, 3600000, l.limits.loginTimeout, w); }},
    {"--idle-timeout-ms", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Milliseconds(v, 86400000, l.limits.idleTimeout, w); }},
    {"--max-connections", true, Applies::kRun,
     [](const char* v, CommandLine& l, std::string& w) { return Number(v, 1, 1048576, l.limits.connections, w); }},
    {"--generate", true, Applies::kGenerate,
     [](const char* v, CommandLine& l, std::string& w) { return Number(v, 1, kMostGenerated, l.generate, w); }},
    {"--out", true, Applies::kGenerate, [](const char* v, CommandLine& l, std::string& w) { return Path(v, l.out, w); }},
    {"--first-address", true, Applies::kGenerate,
     [](const char* v, CommandLine& l, std::string& w) { return Address(v, l.firstAddress, w); }},
};

const Option* Find(std::string_view name) {
    for (const Option& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

bool Asks(int argc, const char* const* argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) return true;
    }
    return false;
}

// Reads every option into `line`; `given` lists them in order.
bool ReadOptions(int argc, const char* const* argv, CommandLine& line, std::vector<const Option*>& given,
                 std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const Option* option = Find(arg);
        if (option == nullptr) {
            error = (arg.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + arg;
            return false;
        }
        const char* value = nullptr;
        if (option->takesValue) {
            if (i + 1 >= argc || std::strncmp(argv[i + 1], "--", 2) == 0) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        std::string why;
        if (!option->read(value, line, why)) {
            error = arg + " " + value + ": " + why;
            return false;
        }
        given.push_back(option);
    }
    return true;
}

// The options fit the command that --fleet or --generate chose.
bool CheckCombination(const std::vector<const Option*>& given, CommandLine& line, std::string& error) {
    const bool run = !line.fleet.empty();
    const bool generate = line.generate > 0;
    if (run == generate) {
        error = run ? "--fleet and --generate do not go together"
                    : "nothing to do: give --fleet FILE, or --generate N with --out FILE";
        return false;
    }
    line.command = run ? Command::kRun : Command::kGenerate;
    const Applies wrong = run ? Applies::kGenerate : Applies::kRun;
    for (const Option* option : given) {
        if (option->applies == wrong) {
            error = std::string(option->name) + (run ? " goes with --generate, not --fleet" : " goes with --fleet, not --generate");
            return false;
        }
    }
    if (generate && line.out.empty()) {
        error = "--generate needs --out FILE";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
    line = CommandLine{};
    if (Asks(argc, argv, "--help")) {
        line.command = Command::kHelp;
        return true;
    }
    if (Asks(argc, argv, "--version")) {
        line.command = Command::kVersion;
        return true;
    }
    std::vector<const Option*> given;
    return ReadOptions(argc, argv, line, given, error) && CheckCombination(given, line, error);
}

const char* UsageText() { return kUsage; }

}  // namespace devsim
