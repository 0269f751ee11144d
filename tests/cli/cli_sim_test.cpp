// tarnwick-cli end to end: the program as a child process, the sample fleet
// simulated in this process on loopback, the SDK confined to it by its
// settings file.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"
#include "discovery/discovery_callback.h"
#include "res/list_columns.h"
#include "res/version.h"
#include "tests/cli/cli_settings.h"
#include "tests/cli/program_run.h"
#include "tests/listing/format_readers.h"
#include "tests/support/temp_dir.h"
#include "tests/support/sample_fleet_names.h"

namespace {

using cli_testing::ProgramRun;
using Rows = std::vector<std::vector<std::string>>;

constexpr std::uint32_t kLoopback = 0x7F000001u;
// Every device's password and the SDK's: it must never appear in the output.
const std::string kPassword = "Pw.4kq9Zr-fleet";

const std::filesystem::path kFleets = std::filesystem::path(TARNWICK_SOURCE_DIR) / "devsim" / "fleets";

const std::map<std::string, std::string>& kCatalogueNames = testing_support::SampleFleetModelNames();

std::vector<std::string> Headings() {
    std::vector<std::string> headings;
    for (const ListColumn& column : kDeviceListColumns) headings.emplace_back(column.heading);
    return headings;
}

// Reads the aligned table back by the columns' offsets in its header line.
bool ReadTable(const std::string& text, Rows& rows) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) return false;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty()) return false;
    std::vector<std::size_t> offsets;
    for (const std::string& heading : Headings()) {
        const std::size_t at = lines[0].find(heading, offsets.empty() ? 0 : offsets.back() + 1);
        if (at == std::string::npos || (at > 0 && lines[0].substr(at - 2, 2) != "  ")) return false;
        offsets.push_back(at);
    }
    rows.clear();
    for (const std::string& line : lines) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < offsets.size(); ++c) {
            const std::size_t end = c + 1 < offsets.size() ? offsets[c + 1] : std::string::npos;
            if (c + 1 < offsets.size() && line.substr(end - 2, 2) != "  ") return false;  // column boundary
            std::string cell = offsets[c] < line.size() ? line.substr(offsets[c], end - offsets[c]) : "";
            cell.erase(cell.find_last_not_of(' ') + 1);
            row.push_back(cell);
        }
        rows.push_back(row);
    }
    return true;
}

// The rows in the output, its header first, for any of the three formats.
bool ReadOutput(const std::string& format, const std::string& out, Rows& rows) {
    if (format == "csv") return format_readers::ReadCsv(out, rows);
    if (format == "table") return ReadTable(out, rows);
    std::vector<format_readers::Object> objects;
    if (!format_readers::ReadJson(out, objects)) return false;
    rows = {Headings()};
    for (const auto& object : objects) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < object.size(); ++c) {
            if (c >= rows[0].size() || object[c].first != rows[0][c]) return false;
            row.push_back(object[c].second);
        }
        rows.push_back(row);
    }
    return true;
}

class CliTest : public testing_support::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        std::string error;
        ASSERT_TRUE(devsim::LoadFleetFile((kFleets / "sample.xml").string(), fleet_, error)) << error;
        for (devsim::DeviceProfile& device : fleet_.devices) {
            device.record.privatePort = 0;
            device.password = kPassword;
        }
        devsim::ServerOptions options;
        options.discoveryAddress = kLoopback;
        options.discoveryPort = 0;
        server_ = devsim::FleetServer::Start(fleet_, options, error);
        ASSERT_TRUE(server_) << error;
        settings_ = cli_testing::WriteLoopbackSettings("sdk.conf", server_->discoveryPort(), kPassword);
    }

    ProgramRun Cli(const std::vector<std::string>& args) {
        ProgramRun run = cli_testing::RunProgram(TARNWICK_CLI, args, {{"TARNWICK_NETSDK_SETTINGS", settings_}});
        EXPECT_EQ(run.out.find(kPassword), std::string::npos);
        EXPECT_EQ(run.err.find(kPassword), std::string::npos);
        return run;
    }

    static void InstallCatalogue(const char* content) {
        std::filesystem::remove("Config.xml");
        if (content == nullptr) return;
        if (std::string(content) == "sample") std::filesystem::copy_file(kFleets / "Config.xml", "Config.xml");
        else WriteFile("Config.xml", content);
    }

    // The window's row of every device of `classes`, with `model` naming its Model column.
    Rows ExpectedRows(const std::string& classes, const std::function<std::string(const DeviceRecord&)>& model) {
        Rows rows;
        for (const devsim::DeviceProfile& device : server_->Snapshot().devices) {
            if (classes.find(std::string(device.record.model, 3)) == std::string::npos) continue;
            const DeviceRowTexts texts = DeviceRowTextsOf(device.record, model(device.record).c_str());
            rows.emplace_back(texts.begin(), texts.end());
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    devsim::Fleet fleet_;
    std::unique_ptr<devsim::FleetServer> server_;
    std::string settings_;
};

std::string CatalogueName(const DeviceRecord& r) { return kCatalogueNames.at(r.sn); }
std::string OwnModel(const DeviceRecord& r) { return r.model; }
std::string NoCameraName(const DeviceRecord& r) {
    return std::string(r.model, 3) == "IPC" ? std::string() : CatalogueName(r);
}

TEST_F(CliTest, DiscoverListsTheWindowsRowsInEveryFormat) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* config;  // Config.xml: "sample", other content, or none
        std::string format;
        std::string classes;
        std::string (*model)(const DeviceRecord&);
        const char* note;  // in stderr
    };
    const Case cases[] = {
        {"defaults", {"discover"}, "sample", "table", "NVR DVR DEC IPC", CatalogueName, ""},
        {"two classes, csv", {"discover", "--class", "nvr,DEC", "--format", "csv"}, "sample", "csv", "NVR DEC",
         CatalogueName, ""},
        {"cameras without logins, json", {"discover", "--class=IPC", "--no-camera-models", "--format=json"}, "sample",
         "json", "IPC", NoCameraName, ""},
        {"every class named, no catalogue", {"discover", "--format", "json", "--class", "IPC,DVR,DEC,NVR"}, nullptr,
         "json", "NVR DVR DEC IPC", OwnModel, "no Config.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InstallCatalogue(c.config);
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(c.note), std::string::npos) << run.err;
        Rows rows;
        ASSERT_TRUE(ReadOutput(c.format, run.out, rows)) << run.out;
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0], Headings());
        rows.erase(rows.begin());
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, ExpectedRows(c.classes, c.model)) << run.out;
    }
}

TEST_F(CliTest, BadCommandLinesAndCataloguesEndWithTwoAndNoOutput) {
    struct Case {
        std::vector<std::string> args;
        const char* config;
        const char* message;
    };
    const Case cases[] = {
        {{}, "sample", "no command"},
        {{"list"}, "sample", "unknown command"},
        {{"discover", "--class", "XYZ"}, "sample", "unknown device class"},
        {{"discover", "--class", "NVR,"}, "sample", "unknown device class"},
        {{"discover", "--class"}, "sample", "needs a value"},
        {{"discover", "--format", "xml"}, "sample", "unknown format"},
        {{"discover", "--no-camera-models=1"}, "sample", "takes no value"},
        {{"discover", "--sn", "X"}, "sample", "unknown option"},
        {{"modify", "--sn", "NV0800000101", "--mac", "02:54:57:00:01:01", "--ip", "127.0.1.1", "--mask",
          "255.0.0.0"},
         "sample", "needs --gw"},
        {{"modify", "--sn", "NV0800000101", "--mac", "02-54-57-00-01-01", "--ip", "127.0.1.1", "--mask", "255.0.0.0",
          "--gw", "127.0.0.1"},
         "sample", "not a MAC address"},
        {{"discover"}, "<Tarnwick><Models>", "not well-formed"},
        {{"discover"}, "<?xml version=\"1.0\"?>\n<Tarnwick/>\n", "no element inside its root"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0] + " " + c.message);
        InstallCatalogue(c.config);
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(CliTest, HelpAndVersionGoToStdoutWithZero) {
    const std::string version = std::string("tarnwick-cli ") + kTarnwickVersion + "\n";
    const struct {
        std::vector<std::string> args;
        std::string expected;  // the whole output, or a part of it
    } cases[] = {
        {{"--version"}, version},
        {{"discover", "--format", "json", "--version"}, version},
        {{"--help"}, "Exit codes:"},
        {{"modify", "-h"}, "Usage: tarnwick-cli"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
    }
    EXPECT_EQ(Cli({"--version"}).out, version);
}

TEST_F(CliTest, NoAnswerEndsWithOneAndAnEmptyList) {
    // A socket that takes the probes and never answers.
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    settings_ = cli_testing::WriteLoopbackSettings("silent.conf", ntohs(address.sin_port), kPassword);
    InstallCatalogue("sample");

    const ProgramRun json = Cli({"discover", "--format", "json"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.out, "[]\n");
    EXPECT_NE(json.err.find("no device answered"), std::string::npos);
    const ProgramRun modify = Cli({"modify", "--sn", "NV0800000101", "--mac", "02:54:57:00:01:01", "--ip",
                                   "127.0.1.9", "--mask", "255.0.0.0", "--gw", "127.0.0.1"});
    EXPECT_EQ(modify.exitCode, 1);
    close(silent);
}

TEST_F(CliTest, ModifyOutcomes) {
    InstallCatalogue("sample");
    const std::string camera = "IC2A00000401";
    const std::string mac = "02:54:57:00:01:06";
    struct Case {
        const char* name;
        std::string sn, mac, ip, mask, gw;
        int exitCode;
        const char* message;    // in stdout on success, else in stderr
        const char* addressAfter;  // the camera's address afterwards
    };
    const Case cases[] = {
        {"address of 16 characters", camera, mac, "127.000.009.0009", "255.0.0.0", "127.0.0.1", 3, "address",
         "127.0.1.10"},
        {"trailing blank", camera, mac, "127.0.9.9", "255.0.0.0 ", "127.0.0.1", 3, "netmask", "127.0.1.10"},
        {"part over 255", camera, mac, "127.0.9.9", "255.0.0.0", "127.0.0.256", 3, "gateway", "127.0.1.10"},
        {"unknown serial", "IC2A00000499", mac, "127.0.9.9", "255.0.0.0", "127.0.0.1", 1, "no device",
         "127.0.1.10"},
        {"serial with another MAC", camera, "02:54:57:00:01:07", "127.0.9.9", "255.0.0.0", "127.0.0.1", 1,
         "no device", "127.0.1.10"},
        // The window's check lets leading zeros through; the device refuses them.
        {"refused by the device", camera, mac, "127.0.9.09", "255.0.0.0", "127.0.0.1", 4, "Modify Failed",
         "127.0.1.10"},
        {"moved", camera, "02:54:57:00:01:06", "127.0.9.9", "255.255.0.0", "127.0.0.1", 0, "Modify OK",
         "127.0.9.9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run =
            Cli({"modify", "--sn", c.sn, "--mac", c.mac, "--ip", c.ip, "--mask", c.mask, "--gw", c.gw});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((c.exitCode == 0 ? run.out : run.err).find(c.message), std::string::npos) << run.out << run.err;
        for (const devsim::DeviceProfile& device : server_->Snapshot().devices) {
            if (camera == device.record.sn) {
                EXPECT_STREQ(device.record.eth0.ip, c.addressAfter);
            }
        }
    }

    // The next discovery finds the camera at its new address, and a camera
    // login there still names it.
    const ProgramRun after = Cli({"discover", "--class", "IPC", "--format", "csv"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    Rows rows;
    ASSERT_TRUE(format_readers::ReadCsv(after.out, rows));
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r[0] == camera; });
    ASSERT_NE(row, rows.end());
    EXPECT_EQ((*row)[3], "127.0.9.9");
    EXPECT_EQ((*row)[4], "255.255.0.0");
    EXPECT_EQ((*row)[1], "Tarn Cam 2MP Bullet");

    // A wrong password proves nothing to the device: the change fails.
    settings_ = cli_testing::WriteLoopbackSettings("wrong.conf", server_->discoveryPort(), "not-the-pw");
    const ProgramRun wrong = Cli({"modify", "--sn", camera, "--mac", mac, "--ip", "127.0.9.10", "--mask",
                                  "255.255.0.0", "--gw", "127.0.0.1"});
    EXPECT_EQ(wrong.exitCode, 4) << wrong.err;
    EXPECT_NE(wrong.err.find("Modify Failed"), std::string::npos) << wrong.err;
}

}  // namespace
