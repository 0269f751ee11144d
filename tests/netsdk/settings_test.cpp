// The SDK's settings file and how Q9_NET_DVR_Init takes it up.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

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
                                      "modify_timeout_ms = 300\n"
                                      "onvif = off\n"
                                      "onvif_port = 13702\n",
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
    EXPECT_FALSE(s.onvif);
    EXPECT_EQ(s.onvifPort, 13702);
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
                         "just some words",       "probe_repeats = 3 4",     "bind_address = 01.2.3.4",
                         "onvif = yes",           "onvif_port = 70000"};
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

// What Q9_NET_DVR_Init made of a settings file: whether the file was taken,
// the targets in force and what went to stderr.
struct InitOutcome {
    bool probesNowhere = false;
    std::vector<netsdk::Target> targets;
    std::string messages;
};

InitOutcome InitWith(const std::string& path) {
    setenv(netsdk::kSettingsVariable, path.c_str(), 1);
    testing::internal::CaptureStderr();
    Q9_NET_DVR_Init();
    InitOutcome outcome;
    outcome.messages = testing::internal::GetCapturedStderr();
    const netsdk::Settings s = netsdk::CurrentSettings();
    outcome.probesNowhere = !s.autoTargets && netsdk::ResolveTargets(s).empty();
    outcome.targets = s.targets;
    return outcome;
}

// The same in a child process running as an ordinary user, for whom a file
// of mode 000 is unreadable (root reads it anyway).
InitOutcome InitAsNobody(const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const bool dropped = setresgid(65534, 65534, 65534) == 0 && setresuid(65534, 65534, 65534) == 0;
        const InitOutcome outcome = InitWith(path);
        const std::string report = std::string(dropped ? "1" : "0") + (outcome.probesNowhere ? "1" : "0") +
                                   outcome.messages;
        [[maybe_unused]] const ssize_t written = write(fds[1], report.data(), report.size());
        _exit(0);
    }
    close(fds[1]);
    std::string report;
    char buffer[1024];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    InitOutcome outcome;
    if (report.size() < 2 || report[0] != '1') {
        outcome.messages = "the child could not drop its privileges";
        return outcome;
    }
    outcome.probesNowhere = report[1] == '1';
    outcome.messages = report.substr(2);
    return outcome;
}

struct FileCase {
    const char* name;
    // Makes the settings file (or whatever stands at its path) in the
    // current directory and returns its path.
    std::function<std::string()> make;
    bool taken;              // the file's targets are in force
    const char* mentions;    // what the one message says besides the path, if refused
    bool asNobody = false;
};

constexpr const char* kSecret = "hunter2-is-my-secret";  // longer than a password may be

std::string Padded(const std::string& settings, std::size_t size) {
    std::string text = settings;
    while (text.size() < size) {
        const std::size_t left = size - text.size();
        text += left == 1 ? "\n" : "#" + std::string(std::min<std::size_t>(left - 2, 70), '-') + "\n";
    }
    return text;
}

std::string Written(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
    return std::filesystem::absolute(name).string();
}

// Anything but a readable regular file that parses and names its targets
// leaves discovery without targets, with one message on stderr that names
// the file (and the line, for a bad line) but never a value from it.
TEST_F(SettingsFile, OnlyAReadableRegularFileThatNamesItsTargetsIsTaken) {
    const FileCase cases[] = {
        {"ordinary, with comments", [] { return Written("a.conf", "# site\ntargets = 127.0.0.3:41000 # fleet\n"); },
         true, ""},
        {"exactly 64 KiB", [] { return Written("a.conf", Padded("targets = 127.0.0.3:41000\n", 65536)); }, true, ""},
        {"one byte over 64 KiB", [] { return Written("a.conf", Padded("targets = 127.0.0.3:41000\n", 65537)); },
         false, "64 KiB"},
        {"empty", [] { return Written("a.conf", ""); }, false, "targets"},
        {"no targets key", [] { return Written("a.conf", "window_ms = 900\nuser = x\n"); }, false, "targets"},
        {"missing", [] { return std::filesystem::absolute("none.conf").string(); }, false, "cannot be read"},
        {"a directory", [] {
             std::filesystem::create_directory("a.conf");
             return std::filesystem::absolute("a.conf").string();
         }, false, "not a regular file"},
        {"a FIFO without writer", [] {
             mkfifo("a.conf", 0600);
             return std::filesystem::absolute("a.conf").string();
         }, false, "not a regular file"},
        {"/dev/zero", [] { return std::string("/dev/zero"); }, false, "not a regular file"},
        {"a password too long", [] {
             return Written("a.conf", std::string("targets = 127.0.0.3\npassword = ") + kSecret + "\n");
         }, false, "line 2"},
        {"a line without '='", [] {
             return Written("a.conf", std::string("targets = 127.0.0.3\n\n") + kSecret + "\n");
         }, false, "line 3"},
        {"a value on an unknown key", [] {
             return Written("a.conf", std::string("targets = 127.0.0.3\npasword = ") + kSecret + "\n");
         }, false, "line 2"},
        {"mode 000", [] {
             chmod(".", 0755);
             const std::string path = Written("a.conf", "targets = 127.0.0.3\n");
             chmod("a.conf", 0);
             return path;
         }, false, "cannot be read", true},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all("a.conf");
        const std::string path = c.make();
        const InitOutcome outcome = c.asNobody && geteuid() == 0 ? InitAsNobody(path) : InitWith(path);
        if (c.taken) {
            EXPECT_EQ(outcome.targets, (std::vector<netsdk::Target>{{0x7F000003u, 41000}}));
            EXPECT_EQ(outcome.messages, "");
            continue;
        }
        EXPECT_TRUE(outcome.probesNowhere);
        EXPECT_EQ(std::count(outcome.messages.begin(), outcome.messages.end(), '\n'), 1) << outcome.messages;
        EXPECT_NE(outcome.messages.find(path), std::string::npos) << outcome.messages;
        EXPECT_NE(outcome.messages.find(c.mentions), std::string::npos) << outcome.messages;
        EXPECT_EQ(outcome.messages.find("hunter2"), std::string::npos) << outcome.messages;
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
