// The SDK's settings file and how Q9_NET_DVR_Init takes it up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "netsdk/settings.h"
#include "netsdk/settings_store.h"
#include "netsdk/targets.h"
#include "sdk/q9_netsdk.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(Settings, EveryKeyIsReadWithCommentsAndBlanks) {
    netsdk::Settings s;
    std::string error;
    ASSERT_TRUE(netsdk::ParseSettings("# loopback only\n"
                                      "discovery_port = 40000\n"
                                      "\n"
                                      "targets = 127.0.0.1, 127.0.0.2:40001\n"
                                      "bind_address=127.0.0.1\r\n"
                                      "window_ms = 750    # a comment after a value\n"
                                      "probe_repeats = 2\n"
                                      "receive_buffer_bytes = 1048576\n"
                                      "user = operator\t# and after a tab\n"
                                      "password = p#ss w\n"
                                      "connect_timeout_ms = 100\n"
                                      "io_timeout_ms = 200\n"
                                      "modify_timeout_ms = 300\n",
                                      s, error))
        << error;
    EXPECT_EQ(s.discoveryPort, 40000);
    EXPECT_FALSE(s.autoTargets);
    EXPECT_EQ(s.targets, (std::vector<netsdk::Target>{{0x7F000001u, 0}, {0x7F000002u, 40001}}));
    EXPECT_EQ(s.bindAddress, 0x7F000001u);
    EXPECT_EQ(s.windowMs, 750);
    EXPECT_EQ(s.probeRepeats, 2);
    EXPECT_EQ(s.receiveBufferBytes, 1048576);
    EXPECT_EQ(s.user, "operator");
    EXPECT_EQ(s.password, "p#ss w");
    EXPECT_EQ(s.connectTimeoutMs, 100);
    EXPECT_EQ(s.ioTimeoutMs, 200);
    EXPECT_EQ(s.modifyTimeoutMs, 300);
    // Targets without a port use the discovery port.
    const auto endpoints = netsdk::ResolveTargets(s);
    ASSERT_EQ(endpoints.size(), 2u);
    EXPECT_EQ(endpoints[0].port, 40000);
    EXPECT_EQ(endpoints[1].port, 40001);
}

TEST(Settings, BadLinesAreRefusedWithTheirNumberAndChangeNothing) {
    const char* bad[] = {"window_ms = 10",        "window_ms = 1e3",         "discovery_port = 0",
                         "targets =",             "targets = 127.0.0.256",   "targets = 127.0.0.1:0",
                         "targets = localhost",   "unknown = 1",             "password = sixteen-chars-xx",
                         "just some words",       "probe_repeats = 3 4",     "bind_address = 01.2.3.4"};
    for (const char* line : bad) {
        netsdk::Settings s;
        std::string error;
        EXPECT_FALSE(netsdk::ParseSettings(std::string("user = x\n") + line, s, error)) << line;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
        EXPECT_EQ(s.user, "admin") << "a failed parse must leave the settings untouched";
    }
}

TEST(Settings, AutoTargetsAreEveryBroadcastAddressAndLoopback) {
    netsdk::Settings s;
    std::string error;
    ASSERT_TRUE(netsdk::ParseSettings("targets = auto", s, error));
    EXPECT_TRUE(s.autoTargets);
    const auto endpoints = netsdk::ResolveTargets(s);
    ASSERT_FALSE(endpoints.empty());
    EXPECT_EQ(endpoints.back().address, 0x7F000001u);
}

// The example of README.md, as a user copies it: the indented block that
// starts with "targets = auto".
TEST(Settings, TheReadmeExampleIsAccepted) {
    std::ifstream readme(std::string(TARNWICK_SOURCE_DIR) + "/README.md");
    std::string example;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("    targets = auto", 0) == 0) inside = true;
        if (inside && line.rfind("    ", 0) != 0) break;
        if (inside) example += line.substr(4) + "\n";
    }
    ASSERT_FALSE(example.empty());
    netsdk::Settings s;
    std::string error;
    ASSERT_TRUE(netsdk::ParseSettings(example, s, error)) << error;
    EXPECT_TRUE(s.autoTargets);
    EXPECT_EQ(s.windowMs, 3000);
    EXPECT_EQ(s.user, "admin");
    EXPECT_NE(s.password, "tarnwick");
}

class SettingsFile : public testing_support::TempDirTest {
protected:
    void TearDown() override {
        unsetenv(netsdk::kSettingsVariable);
        TempDirTest::TearDown();
    }
};

TEST_F(SettingsFile, InitLoadsTheFileNamedByTheVariable) {
    WriteFile("netsdk.conf", "targets = 127.0.0.3:41000\nwindow_ms = 900\n");
    setenv(netsdk::kSettingsVariable, (dir() / "netsdk.conf").c_str(), 1);
    Q9_NET_DVR_Init();
    const netsdk::Settings s = netsdk::CurrentSettings();
    EXPECT_EQ(s.windowMs, 900);
    EXPECT_EQ(s.targets, (std::vector<netsdk::Target>{{0x7F000003u, 41000}}));
}

TEST_F(SettingsFile, ABrokenOrMissingFileLeavesDiscoveryWithoutTargets) {
    WriteFile("netsdk.conf", "targets = 127.0.0.3\nwindow_ms = soon\n");
    for (const char* name : {"netsdk.conf", "missing.conf"}) {
        setenv(netsdk::kSettingsVariable, (dir() / name).c_str(), 1);
        Q9_NET_DVR_Init();
        const netsdk::Settings s = netsdk::CurrentSettings();
        EXPECT_FALSE(s.autoTargets) << name;
        EXPECT_TRUE(netsdk::ResolveTargets(s).empty()) << name;
    }
}

TEST_F(SettingsFile, WithoutTheVariableTheDefaultsApply) {
    unsetenv(netsdk::kSettingsVariable);
    std::string error;
    const netsdk::Settings s = netsdk::LoadSettingsFromEnvironment(error);
    EXPECT_TRUE(error.empty());
    EXPECT_TRUE(s.autoTargets);
    EXPECT_EQ(s.discoveryPort, 39300);
}

}  // namespace
