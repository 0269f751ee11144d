// The list's item-changed handler: which node it loads, what it leaves
// alone, and what a loaded record holds.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/record/record_fixture.h"

namespace record_testing {
namespace {

class LoadNode : public RecordTest {
protected:
    // A recognisable record and boxes, to see that nothing was touched.
    void Scribble() {
        std::memset(&modifyRecord, 0x5A, sizeof modifyRecord);
        SetBoxes("typed");
    }
    bool Untouched() {
        DeviceRecord scribbled;
        std::memset(&scribbled, 0x5A, sizeof scribbled);
        return SameBytes(modifyRecord, scribbled) && Box(IDC_LOCAL_IP) == "typed" && Box(IDC_NETMASK) == "typed" &&
               Box(IDC_GATEWAY) == "typed";
    }
};

TEST_F(LoadNode, LoadsTheSelectedDeviceOfAnyClass) {
    const DeviceRecord devices[] = {SampleCamera(), SampleRecorder("DVR-16", "DVR16", 16),
                                    SampleRecorder("DEC-2", "DEC2", 22), SampleRecorder("NVR-32", "NVR32", 32)};
    ResetDiscoveryLog(log);
    for (const DeviceRecord& d : devices) {
        AppendDiscoveryNode(d, log);
        AddRow(d.sn);
    }
    for (int row = 0; row < 4; ++row) {
        Scribble();
        List().selected.assign(4, false);
        Select(row);
        Load();
        const DeviceRecord& d = devices[row];
        // softwareVersion, buildDate and every reserved byte come back zero.
        EXPECT_TRUE(SameBytes(modifyRecord, AsLoaded(d))) << d.sn;
        EXPECT_EQ(Box(IDC_LOCAL_IP), Text(d.eth0.ip));
        EXPECT_EQ(Box(IDC_NETMASK), Text(d.eth0.mask));
        EXPECT_EQ(Box(IDC_GATEWAY), Text(d.eth0.gw));
    }
    EXPECT_EQ(modifyRecord.softwareVersion, 0u);

    // The camera's details, as the node carries them.
    List().selected.assign(4, false);
    Select(0);
    Load();
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(std::memcmp(modifyRecord.eth0.mac, mac, 6), 0);
    EXPECT_EQ(modifyRecord.privatePort, 8000);
    EXPECT_EQ(modifyRecord.rtspPort, 554);
    EXPECT_EQ(Text(modifyRecord.password), "p<w&\"d");
    NetBlock zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&modifyRecord.wifi, &zero, sizeof zero), 0);
    EXPECT_EQ(std::memcmp(modifyRecord.eth0.reserved, zero.reserved, sizeof zero.reserved), 0);
}

TEST_F(LoadNode, EveryNotificationReloadsTheLowestSelectedRow) {
    ResetDiscoveryLog(log);
    for (int i = 0; i < 3; ++i) {
        const std::string sn = "NVR" + std::to_string(i);
        AppendDiscoveryNode(SampleRecorder("NVR", sn.c_str(), 10 + i), log);
        AddRow(sn);
    }
    Select(2);
    Select(1);
    // Whatever row the notification was about, and whatever was typed.
    Scribble();
    Load();
    EXPECT_EQ(Text(modifyRecord.sn), "NVR1");
    EXPECT_EQ(Box(IDC_LOCAL_IP), "10.1.1.11");
    SetBoxes("typed again");
    Load();
    EXPECT_EQ(Box(IDC_LOCAL_IP), "10.1.1.11");
    EXPECT_EQ(Box(IDC_GATEWAY), "10.1.0.1");
}

TEST_F(LoadNode, TheFirstOfTwoEqualSerialsWins) {
    ResetDiscoveryLog(log);
    AppendDiscoveryNode(SampleRecorder("DVR", "SAME", 1), log);
    AppendDiscoveryNode(SampleRecorder("NVR", "SAME", 2), log);
    AddRow("SAME");
    Select(AddRow("SAME"));
    Load();
    EXPECT_EQ(Text(modifyRecord.model), "DVR");
    EXPECT_EQ(Box(IDC_LOCAL_IP), "10.1.1.1");
}

TEST_F(LoadNode, ChangesNothingWhenThereIsNoNodeToLoad) {
    // No document yet.
    Select(AddRow("NVR1"));
    Scribble();
    Load();
    EXPECT_TRUE(Untouched());
    // An empty tree.
    ResetDiscoveryLog(log);
    Load();
    EXPECT_TRUE(Untouched());
    // A serial number that has no node.
    AppendDiscoveryNode(SampleRecorder("NVR", "NVR2", 2), log);
    Load();
    EXPECT_TRUE(Untouched());
    // No selected row.
    AddRow("NVR2");
    List().selected.assign(2, false);
    Load();
    EXPECT_TRUE(Untouched());
    // After the close handler's discard.
    Select(1);
    log.Discard();
    Load();
    EXPECT_TRUE(Untouched());
}

// Random NUL-terminated texts of every length, random MACs and ports, and
// garbage after each NUL and in every field that a node does not carry.
DeviceRecord RandomRecord(std::mt19937& rng, int index) {
    std::uniform_int_distribution<int> byte(1, 255);
    DeviceRecord r;
    for (std::size_t i = 0; i < sizeof r; ++i) reinterpret_cast<unsigned char*>(&r)[i] = static_cast<unsigned char>(byte(rng) - 1);
    const auto text = [&](auto& field) {
        const std::size_t n = std::uniform_int_distribution<std::size_t>(0, sizeof field - 1)(rng);
        for (std::size_t i = 0; i < n; ++i) field[i] = static_cast<char>(byte(rng));
        field[n] = '\0';
    };
    for (NetBlock* b : {&r.eth0, &r.wifi, &r.g3}) {
        text(b->ip);
        text(b->mask);
        text(b->gw);
        text(b->dns1);
        text(b->dns2);
    }
    text(r.sn);
    // A unique prefix, so that every serial number selects its own node.
    const std::string prefix = std::to_string(index) + "#";
    if (strnlen(r.sn, sizeof r.sn) < prefix.size()) r.sn[prefix.size()] = '\0';
    std::memcpy(r.sn, prefix.data(), prefix.size());
    text(r.user);
    text(r.password);
    text(r.model);
    return r;
}

TEST_F(LoadNode, RandomRecordsComeBackAsAppended) {
    std::mt19937 rng(20240601);
    std::vector<DeviceRecord> records;
    ResetDiscoveryLog(log);
    for (int i = 0; i < 300; ++i) {
        records.push_back(RandomRecord(rng, i));
        AppendDiscoveryNode(records.back(), log);
        AddRow(records.back().sn);
    }
    for (int i = 0; i < 300; ++i) {
        List().selected.assign(300, false);
        Select(i);
        Load();
        ASSERT_TRUE(SameBytes(modifyRecord, AsLoaded(records[static_cast<std::size_t>(i)]))) << "record " << i;
        ASSERT_EQ(Box(IDC_NETMASK), Text(records[static_cast<std::size_t>(i)].eth0.mask));
    }
    // The file holds the same 300 nodes.
    WaitDiscoveryLogSaved(log);
    EXPECT_EQ(SerialsInFile(ReadFile(kDiscoveryFileName)).size(), 300u);
}

}  // namespace
}  // namespace record_testing
