// The tarnwick-devsim program as a user meets it: its command line, the
// fleet files it refuses, and ports that another program already holds.
// Every refusal is one line on stderr and a distinct exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devsim/fleet_xml.h"
#include "tests/devsim/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HoldPort;
using testing_support::ProgramResult;
using testing_support::RunProgram;

const std::string kDevsim = TARNWICK_DEVSIM;
const std::string kSample = TARNWICK_FLEETS_DIR "/sample.xml";

// A device line of a fleet file, with its own serial number, address and MAC.
std::string Device(const std::string& sn, const std::string& ip, const std::string& mac,
                   const std::string& extra = R"(password="pw")", const std::string& children = "") {
    return "  <Device sn=\"" + sn + "\" " + extra + " controlPort=\"0\">\n    <Eth0 ip=\"" + ip + "\" mac=\"" + mac +
           "\"/>" + children + "\n  </Device>\n";
}

std::string Fleet(const std::string& devices) { return "<?xml version=\"1.0\"?>\n<Fleet>\n" + devices + "</Fleet>\n"; }

const std::string kFirst = Device("A1", "127.0.77.1", "02:00:00:00:00:01");

// The program printed exactly one line on stderr and nothing on stdout.
void ExpectOneLine(const ProgramResult& r, int status, const std::string& says) {
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("tarnwick-devsim: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << "expected \"" << says << "\" in: " << r.err;
}

class DevsimProgram : public testing_support::TempDirTest {
protected:
    ProgramResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), kDevsim);
        return RunProgram(args);
    }
};

struct FleetCase {
    const char* name;
    std::string text;
    const char* says;  // after "fleet.xml: "
};

TEST_F(DevsimProgram, RefusesABadFleetFileInOneLineNamingTheLine) {
    const FleetCase cases[] = {
        {"serial number twice", Fleet(kFirst + Device("A1", "127.0.77.2", "02:00:00:00:00:02")),
         "line 6: device A1: serial number A1 already used by the device on line 3"},
        {"address twice", Fleet(kFirst + Device("A2", "127.0.77.1", "02:00:00:00:00:02")),
         "line 6: device A2: eth0 address 127.0.77.1 already used by the device on line 3"},
        {"MAC twice", Fleet(kFirst + Device("A2", "127.0.77.2", "02:00:00:00:00:01")),
         "line 6: device A2: MAC 02:00:00:00:00:01 already used"},
        {"misspelt element of a device",
         Fleet(kFirst + Device("A2", "127.0.77.2", "02:00:00:00:00:02", R"(password="pw")", "<Behavior silent=\"1\"/>")),
         "line 7: device A2: unknown element <Behavior>"},
        {"misspelt device", Fleet(kFirst + "  <Devise sn=\"A2\"/>\n"), "line 6: unknown element <Devise>"},
        {"misspelt attribute of a device", Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(pasword="pw")")),
         "line 3: device A1: unknown attribute \"pasword\""},
        {"misspelt attribute of Eth0", Fleet("  <Device sn=\"A1\" password=\"pw\"><Eth0 ipp=\"127.0.77.1\"/></Device>\n"),
         "line 3: device A1: Eth0: unknown attribute \"ipp\""},
        {"misspelt behaviour",
         Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(password="pw")", "<Behaviour refuseLogin=\"1\"/>")),
         "line 4: device A1: Behaviour: unknown attribute \"refuseLogin\""},
        {"element inside Eth0",
         Fleet("  <Device sn=\"A1\" password=\"pw\">\n    <Eth0 ip=\"127.0.77.1\">\n      <Mac/></Eth0></Device>\n"),
         "line 5: device A1: Eth0: unknown element <Mac>"},
        {"second fleet", Fleet(kFirst) + "<Fleet/>\n", "line 7: a second root element <Fleet>"},
        {"second Eth0",
         Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(password="pw")", "<Eth0 ip=\"127.0.77.9\"/>")),
         "line 4: device A1: second <Eth0>"},
        {"no password", Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(user="admin")")),
         "line 3: device A1: no password"},
        {"half a verifier", Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(salt="00")")),
         "line 3: device A1: missing iterations"},
        {"not a fleet", "<Devices/>", "the root element is not Fleet"},
    };
    for (const FleetCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("fleet.xml", c.text);
        ExpectOneLine(Run({"--fleet", "fleet.xml", "--port", "0"}), 1, std::string("fleet.xml: ") + c.says);
    }
}

struct UsageCase {
    std::vector<std::string> args;
    const char* says;
};

TEST_F(DevsimProgram, RefusesABadCommandLineInOneLineWithStatus2) {
    const UsageCase cases[] = {
        {{"--generate", "abc", "--out", "f.xml"}, "--generate abc: not a number from 1 to 16384"},
        {{"--generate", "16385", "--out", "f.xml"}, "--generate 16385: not a number from 1 to 16384"},
        {{"--fleet", kSample, "--port", "abc"}, "--port abc: not a number from 0 to 65535"},
        {{"--fleet", kSample, "--port", "65536"}, "--port 65536: not a number"},
        {{"--fleet", kSample, "--port", "-1"}, "--port -1: not a number"},
        {{"--fleet", kSample, "--port", "80x"}, "--port 80x: not a number"},
        {{"--fleet", kSample, "--control-port", "70000"}, "--control-port 70000: not a number"},
        {{"--fleet", kSample, "--onvif-port", "65536"}, "--onvif-port 65536: not a number from 0 to 65535"},
        {{"--generate", "3", "--out", "f.xml", "--onvif-port", "0"}, "--onvif-port goes with --fleet"},
        {{"--fleet", kSample, "--max-connections", "0"}, "--max-connections 0: not a number from 1"},
        {{"--fleet", kSample, "--login-timeout-ms", "5s"}, "--login-timeout-ms 5s: not a number"},
        {{"--fleet", kSample, "--bind-discovery", "127.0.0"}, "--bind-discovery 127.0.0: not an IPv4 address"},
        {{"--fleet", kSample, "--prot", "1"}, "unknown option --prot"},
        {{"--fleet", kSample, "extra"}, "unexpected argument extra"},
        {{"--fleet"}, "--fleet needs a value"},
        {{"--fleet", "--port", "0"}, "--fleet needs a value"},
        {{}, "nothing to do"},
        {{"--fleet", kSample, "--generate", "3", "--out", "f.xml"}, "--fleet and --generate do not go together"},
        {{"--generate", "3"}, "--generate needs --out FILE"},
        {{"--fleet", kSample, "--out", "f.xml"}, "--out goes with --generate"},
        {{"--generate", "3", "--out", "f.xml", "--save"}, "--save goes with --fleet"},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.says);
        ExpectOneLine(Run(c.args), 2, c.says);
    }
    EXPECT_FALSE(std::filesystem::exists("f.xml"));
}

TEST_F(DevsimProgram, HelpDescribesEveryOptionOnStdoutAndVersionIsTheProjects) {
    const ProgramResult help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option : {"--fleet FILE ", "--bind-discovery ADDR ", "--port N ", "--onvif-port N ", "--control-port N ", "--save ",
                               "--login-timeout-ms N ", "--idle-timeout-ms N ", "--max-connections N ",
                               "--generate N ", "--out FILE ", "--first-address ADDR ", "--help ", "--version "}) {
        // A line of its own: the option, then its description.
        EXPECT_NE(help.out.find(std::string("\n  ") + option), std::string::npos) << option;
    }
    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarnwick-devsim " TARNWICK_VERSION "\n");
}

TEST_F(DevsimProgram, GeneratesTheFleetItIsAskedFor) {
    const ProgramResult r = Run({"--generate", "5", "--out", "f.xml", "--first-address", "127.0.78.1"});
    EXPECT_EQ(r.status, 0) << r.err;
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::LoadFleetFile("f.xml", fleet, error)) << error;
    ASSERT_EQ(fleet.devices.size(), 5u);
    EXPECT_STREQ(fleet.devices[4].record.eth0.ip, "127.0.78.5");
}

struct HeldCase {
    const char* name;
    int type;               // SOCK_DGRAM: the discovery port; SOCK_STREAM: a control port
    const char* address;    // where the other program holds it
    int reuse;              // what that program set on its socket
    bool onvif = false;     // the ONVIF device's port of that type instead (WS-Discovery, HTTP)
};

// Another program's socket on the port keeps the simulator out, whatever
// that socket allows, and the refusal names the address and port; once the
// port is free the same command starts.
TEST_F(DevsimProgram, RefusesAPortAnotherSocketHolds) {
    const HeldCase cases[] = {
        {"discovery port", SOCK_DGRAM, "127.0.0.1", 0},
        {"discovery port, holder with SO_REUSEADDR", SOCK_DGRAM, "127.0.0.1", SO_REUSEADDR},
        {"discovery port, holder with SO_REUSEPORT", SOCK_DGRAM, "127.0.0.1", SO_REUSEPORT},
        {"discovery port on every interface", SOCK_DGRAM, "0.0.0.0", SO_REUSEADDR},
        {"control port", SOCK_STREAM, "127.0.77.1", SO_REUSEADDR},
        {"WS-Discovery port", SOCK_DGRAM, "127.0.0.1", SO_REUSEPORT, true},
        {"ONVIF HTTP port, holder with SO_REUSEPORT", SOCK_STREAM, "127.0.77.2", SO_REUSEPORT, true},
    };
    for (const HeldCase& c : cases) {
        SCOPED_TRACE(c.name);
        int held = HoldPort(c.type, c.address, 0, c.reuse);
        ASSERT_GE(held, 0);
        const std::string port = std::to_string(testing_support::BoundPort(held));
        const bool discovery = c.type == SOCK_DGRAM;
        const auto portFor = [&](bool onvif, bool datagram) { return onvif == c.onvif && datagram == discovery ? port : "0"; };
        WriteFile("fleet.xml", Fleet(Device("A1", "127.0.77.1", "02:00:00:00:00:01", R"(password="pw")") +
                                     "  <OnvifDevice sn=\"O1\" password=\"pw\" ip=\"127.0.77.2\" httpPort=\"" +
                                     portFor(true, false) + "\"/>\n"));
        const std::vector<std::string> command = {kDevsim, "--fleet", "fleet.xml", "--port", portFor(false, true),
                                                  "--control-port", portFor(false, false),
                                                  "--onvif-port", portFor(true, true)};
        const std::string says =
            c.onvif ? (discovery ? "cannot bind the WS-Discovery socket to 127.0.0.1:"
                                 : "cannot bind the HTTP server of ONVIF device O1 to 127.0.77.2:")
                    : (discovery ? "cannot bind the discovery socket to 127.0.0.1:"
                                 : "device A1: cannot listen on 127.0.77.1:");
        ExpectOneLine(RunProgram(command), 3, says + port + ": Address already in use");
        close(held);
        testing_support::Program program(command);
        EXPECT_TRUE(program.WaitForOutput("discovery on 127.0.0.1:")) << c.name;
        program.Signal(SIGTERM);
        EXPECT_EQ(program.Finish().status, 0);
    }
}

}  // namespace
