// scripts/run.sh without a display, on the programs of this build, while
// another program holds the sample fleet's ports: the script names the port
// that is taken, runs the fleet on free ports instead (never a second
// simulator on a port in use) and prints the table of every device.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/devsim/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::HoldPort;

// The sample fleet's serial numbers (devsim/fleets/sample.xml).
const char* const kSerials[] = {"NV0800000101", "NV1600000102", "DV0400000201", "DV0800000202",
                                "DE1600000301", "IC2A00000401", "IC2A00000402", "IC4B00000403",
                                "IC8C00000404", "IC4B00000405", "NV9900000999"};

struct HeldPort {
    int type;
    const char* address;
    std::uint16_t port;
    const char* taken;  // how the script names it
};

struct DemoCase {
    const char* name;
    std::vector<HeldPort> held;
};

class DemoScript : public testing_support::TempDirTest {};

TEST_F(DemoScript, WithTheSamplePortsTakenRunsOnFreePortsAndListsTheFleet) {
    if (std::string(TARNWICK_HAS_CLI).empty()) GTEST_SKIP() << "tarnwick-cli is not part of this build";
    const HeldPort discovery{SOCK_DGRAM, "127.0.0.1", 39300, "cannot bind the discovery socket to 127.0.0.1:39300"};
    const HeldPort control{SOCK_STREAM, "127.0.1.5", 8000, "device DE1600000301: cannot listen on 127.0.1.5:8000"};
    // The discovery port is always held, so that the demo's fleet never
    // answers the other tests, whose SDK settings aim at 127.0.0.1:39300.
    const DemoCase cases[] = {
        {"discovery port taken", {discovery}},
        {"discovery port and a control port taken", {discovery, control}},
    };
    for (const DemoCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> fds;
        for (const HeldPort& h : c.held) {
            // Held by this test, or already by someone else: taken either way.
            fds.push_back(HoldPort(h.type, h.address, h.port, SO_REUSEADDR));
        }
        const auto env = testing_support::EnvironmentWith({{"DISPLAY", ""},
                                                           {"WAYLAND_DISPLAY", ""},
                                                           {"QT_QPA_PLATFORM", ""},
                                                           {"TARNWICK_NETSDK_SETTINGS", ""},
                                                           {"BUILD_DIR", TARNWICK_BUILD_DIR},
                                                           {"TARNWICK_RUN_NO_BUILD", "1"},
                                                           {"TARNWICK_RUN_DIR", (dir() / "run").string()}});
        const auto r = testing_support::RunProgram({"/bin/bash", TARNWICK_SOURCE_DIR "/scripts/run.sh"}, env);
        for (int fd : fds) {
            if (fd >= 0) close(fd);
        }
        EXPECT_EQ(r.status, 0) << r.err;
        for (const HeldPort& h : c.held) {
            EXPECT_NE(r.err.find(std::string("in use by another program: ") + h.taken), std::string::npos) << r.err;
        }
        EXPECT_NE(r.err.find("the sample fleet runs on free ports instead"), std::string::npos) << r.err;
        // The simulator that ran answered on another discovery port, and the
        // SDK was aimed at that one.
        const std::string readyLine = "discovery on 127.0.0.1:";
        const std::size_t ready = r.err.find(readyLine);
        ASSERT_NE(ready, std::string::npos) << r.err;
        const std::string port = r.err.substr(ready + readyLine.size(), r.err.find('\n', ready) - ready - readyLine.size());
        EXPECT_NE(port, "39300");
        std::ifstream settings(dir() / "run" / "netsdk.conf");
        const std::string text((std::istreambuf_iterator<char>(settings)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("\ndiscovery_port = " + port + "\n"), std::string::npos) << text;
        for (const char* serial : kSerials) EXPECT_NE(r.out.find(serial), std::string::npos) << serial << "\n" << r.out;
    }
}

}  // namespace
