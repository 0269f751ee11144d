// Whole discovery runs on our SDK against the simulator on loopback: what
// the list, the slots and Discovery.Xml hold once a click has run its course.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "devsim/fleet_generator.h"
#include "tests/discovery/discovery_harness.h"
#include "tests/netsdk/sim_support.h"
#include "tests/record/record_fixture.h"

namespace discovery_testing {
namespace {

using devsim::ConfigItem;

void Put(char* field, std::size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// One device of the test fleet and what its row must show.
struct Case {
    const char* sn;
    const char* model;
    const char* sensorModel;
    std::vector<ConfigItem> config;  // empty: the simulator's block around sensorModel
    devsim::Behaviour behaviour;
    const char* modelColumn;  // nullptr: never listed
};

devsim::Behaviour Refusing(int logins) {
    devsim::Behaviour b;
    b.refuseLogins = logins;
    return b;
}
devsim::Behaviour WrongPassword() {
    devsim::Behaviour b;
    b.wrongPassword = true;
    return b;
}
devsim::Behaviour ConfigFails() {
    devsim::Behaviour b;
    b.configFails = true;
    return b;
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // Recorders and decoders: the catalogue at once, or their own model.
        {"NV08AAAA0001", "NVR-0804", "", {}, {}, "Tarn Recorder 8"},
        {"NV99ZZZZ0002", "NVR-9999", "", {}, {}, "NVR-9999"},
        {"N1", "NVR-2", "", {}, {}, "Two-character serial"},
        {"ABCD0004", "NVR-ABCD", "", {}, {}, "NVR-ABCD"},  // only (ABC, "") is catalogued
        {"DV04AAAA0005", "DVR-0410", "", {}, {}, "Tarn DVR 4"},
        {"DE16AAAA0006", "DEC-1602", "", {}, {}, "Tarn Decoder 16"},
        {"NV08SPEC0007", "NVR", "", {}, {}, "Tarn Recorder 8"},  // the row of every column, below
        // Never listed, whatever is ticked.
        {"LOWR0008", "ipc-lower", "IMX291", {}, {}, nullptr},
        {"SHRT0009", "NV", "", {}, {}, nullptr},
        // Cameras: the catalogue name once the worker has read the sensor model.
        {"IC2A0010", "IPC-B210", "IMX291", {}, {}, "Tarn Cam 2MP Bullet"},
        {"IC2A0011", "IPC-B210", "SC2336", {}, Refusing(2), "Tarn Cam 2MP Bullet Lite"},
        {"IC4B0012", "IPC-D440", "OS04A10", {}, WrongPassword(), ""},
        {"IC4B0013", "IPC-D440", "OS04A10", {}, ConfigFails(), ""},
        {"IC4B0014", "IPC-D440", "", {{"Resolution", "2560x1440"}}, {}, ""},
        {"IC4B0015", "IPC-D440", "", {{"sensormodel", "OS04A10"}}, {}, ""},
        {"IC4B0016", "IPC-D440", "", {{"SensorModel ", "OS04A10"}}, {}, ""},
        {"IC4B0017", "IPC-D440", "",
         {{"Resolution", "2560x1440"}, {"SensorModel", "OS04A10"}, {"SensorModel", "IMX291"}}, {}, "Tarn Cam 4MP Dome"},
        {"IC8C0018", "IPC-T880", "", {{"SensorModel", ""}}, {}, "Camera family 8C"},
        {"IC9Z0019", "IPC-Z999", "UNKNOWN", {}, {}, "IPC-Z999"},
    };
    return cases;
}

devsim::Fleet TestFleet() {
    devsim::Fleet fleet = sim::SmallFleet(static_cast<int>(Cases().size()), 0x7F4D0001u);  // 127.77.0.1 on
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const Case& c = Cases()[i];
        devsim::DeviceProfile& d = fleet.devices[i];
        Put(d.record.sn, sizeof d.record.sn, c.sn);
        Put(d.record.model, sizeof d.record.model, c.model);
        d.sensorModel = c.sensorModel;
        d.config = c.config;
        d.behaviour = c.behaviour;
    }
    // Every column's edge at once: a leading zero byte in the MAC, the
    // largest port, a build month of 0.
    DeviceRecord& special = fleet.devices[6].record;
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(special.eth0.mac, mac, sizeof mac);
    special.httpPort = 65535;
    special.rtspPort = 554;
    special.softwareVersion = MakeVersion(2, 3);
    special.buildDate = MakeBuildDate(2016, 0, 29);
    return fleet;
}

const Case* CaseOf(const std::string& sn) {
    for (const Case& c : Cases())
        if (sn == c.sn) return &c;
    return nullptr;
}

class DiscoveryRuns : public DiscoveryHarness {
protected:
    void SetUp() override {
        DiscoveryHarness::SetUp();
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "devsim/fleets/Config.xml", "Config.xml");
        UiTexts texts;
        ASSERT_TRUE(LoadModelCatalogue(catalogue, texts));
        catalogue[{"N1", ""}] = "Two-character serial";
        catalogue[{"ABC", ""}] = "Three characters match nothing";
        catalogue[{"IC8C", ""}] = "Camera family 8C";
    }

    // Starts the control, then points the SDK (which its start-up loaded
    // from the test settings) at the fleet.
    void StartOn(const devsim::Fleet& fleet, int windowMs) {
        StartControl();
        server = sim::StartFleet(fleet);
        ASSERT_TRUE(server);
        netsdk::ApplySettings(sim::LoopbackSettings(server->discoveryPort(), windowMs));
    }

    // Row n, slot n and node n are the same device, and nothing else is in
    // the file.
    void ExpectRowsSlotsAndNodesAgree() {
        const std::vector<std::string> nodes = record_testing::SerialsInFile(ReadFile(kDiscoveryFileName));
        ASSERT_EQ(nodes.size(), Rows().size());
        std::lock_guard lock(control->acceptLock);
        ASSERT_EQ(control->currentRun->deviceSlots.size(), Rows().size());
        for (std::size_t n = 0; n < Rows().size(); ++n) {
            const DeviceSlot& slot = control->currentRun->deviceSlots[n];
            EXPECT_EQ(Cell(n, 0), nodes[n]) << "row " << n;
            EXPECT_EQ(Cell(n, 0), slot.record.sn) << "row " << n;
            EXPECT_EQ(slot.rowIndex, static_cast<std::int32_t>(n));
        }
    }

    std::unique_ptr<devsim::FleetServer> server;
};

TEST_F(DiscoveryRuns, OneClickListsTheTickedClassesWithEveryColumnAndModel) {
    StartOn(TestFleet(), 600);

    // The start-up state: recorders only.
    Tick({IDC_TYPE_NVR});
    ASSERT_TRUE(RunDiscovery());
    std::set<std::string> listed;
    for (std::size_t n = 0; n < Rows().size(); ++n) listed.insert(Cell(n, 0));
    EXPECT_EQ(listed, (std::set<std::string>{"NV08AAAA0001", "NV99ZZZZ0002", "N1", "ABCD0004", "NV08SPEC0007"}));
    ExpectRowsSlotsAndNodesAgree();

    // Every box: every device but the two that belong to no class.
    TickAll();
    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(SettleWorkers());
    EXPECT_EQ(host.doneMessages, 2);
    std::size_t expectedRows = 0;
    for (const Case& c : Cases()) expectedRows += c.modelColumn != nullptr;
    ASSERT_EQ(Rows().size(), expectedRows);
    ExpectRowsSlotsAndNodesAgree();

    std::map<std::string, DeviceRecord> devices;
    for (const devsim::DeviceProfile& d : server->Snapshot().devices) devices[d.record.sn] = d.record;
    for (std::size_t n = 0; n < Rows().size(); ++n) {
        const Case* c = CaseOf(Cell(n, 0));
        ASSERT_NE(c, nullptr) << Cell(n, 0);
        ASSERT_NE(c->modelColumn, nullptr) << c->sn;
        EXPECT_EQ(Cell(n, 1), c->modelColumn) << c->sn;
        const DeviceRecord* device = &devices.at(c->sn);
        EXPECT_EQ(Cell(n, 3), device->eth0.ip) << c->sn;
        EXPECT_EQ(Cell(n, 6), std::to_string(device->privatePort)) << c->sn;
        if (std::string(c->sn) == "NV08SPEC0007") {
            EXPECT_EQ(Cell(n, 2), "00:1a:2b:3c:4d:5e");
            EXPECT_EQ(Cell(n, 4), "255.0.0.0");
            EXPECT_EQ(Cell(n, 5), "127.0.0.1");
            EXPECT_EQ(Cell(n, 7), "65535");
            EXPECT_EQ(Cell(n, 8), "554");
            EXPECT_EQ(Cell(n, 9), "V2.3 build 2016-00-29");
        }
    }
}

// 1000 answers, 400 of them cameras: every one is listed, recorded and, for
// cameras, named.
TEST_F(DiscoveryRuns, AThousandDevicesWithFourHundredCameras) {
    devsim::Fleet fleet = sim::SmallFleet(1000, 0x7F4E0001u);  // 127.78.0.1 on
    int cameras = 0;
    for (std::size_t i = 0; i < fleet.devices.size(); ++i) {
        DeviceRecord& r = fleet.devices[i].record;
        if (std::strncmp(r.model, "IPC", 3) != 0) continue;
        // Every fifth camera becomes a recorder: 400 cameras remain.
        if (++cameras % 5 == 0) {
            Put(r.model, sizeof r.model, "NVR-0804");
            fleet.devices[i].sensorModel.clear();
        }
    }
    StartOn(fleet, 2000);
    TickAll();
    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(SettleWorkers());

    ASSERT_EQ(Rows().size(), 1000u);
    ExpectRowsSlotsAndNodesAgree();
    int named = 0;
    for (std::size_t n = 0; n < Rows().size(); ++n) {
        if (Cell(n, 0).rfind("IC", 0) == 0 && !Cell(n, 1).empty() && Cell(n, 1).rfind("Tarn Cam", 0) == 0) ++named;
    }
    EXPECT_EQ(named, 400);
    EXPECT_EQ(host.doneMessages, 1);
}

}  // namespace
}  // namespace discovery_testing
