// The rules that map ONVIF answers onto the device record, as tables.
#include <gtest/gtest.h>

#include "netsdk/onvif/namespaces.h"
#include "netsdk/onvif/rules.h"
#include "sdk/device_record.h"

namespace {

using namespace onvif;

TEST(OnvifRules, PrefixAndNetmaskConvertBothWays) {
    const struct {
        int prefix;
        const char* mask;
    } pairs[] = {{0, "0.0.0.0"},         {1, "128.0.0.0"},         {8, "255.0.0.0"},       {17, "255.255.128.0"},
                 {23, "255.255.254.0"}, {24, "255.255.255.0"},    {30, "255.255.255.252"}, {31, "255.255.255.254"},
                 {32, "255.255.255.255"}};
    for (const auto& p : pairs) {
        EXPECT_EQ(PrefixToNetmask(p.prefix), p.mask);
        EXPECT_EQ(NetmaskToPrefix(p.mask), p.prefix) << p.mask;
    }
    EXPECT_EQ(PrefixToNetmask(-1), "");
    EXPECT_EQ(PrefixToNetmask(33), "");
    for (const char* bad : {"255.0.255.0", "255.255.255.1", "0.0.0.1", "127.0.0.0", "255.255.255", "255.255.255.0.",
                            "256.0.0.0", "255.255.255.+0", " 255.0.0.0", "255..255.0", "", "a.b.c.d",
                            "255.255.255.0000000000000000000000000000"}) {
        EXPECT_EQ(NetmaskToPrefix(bad), -1) << bad;
    }
}

TEST(OnvifRules, FirmwareTextGivesMajorMinor) {
    const struct {
        const char* text;
        std::uint32_t version;
    } cases[] = {
        {"V5.5.3 build 200101", MakeVersion(5, 5)},
        {"2.800.0000000.31.R", MakeVersion(2, 800)},
        {"1.0", MakeVersion(1, 0)},
        {"IPC_V12.34", MakeVersion(12, 34)},
        {"build 20200101 v3.7", MakeVersion(3, 7)},  // a lone number is skipped
        {"V65535.65535", MakeVersion(65535, 65535)},
        {"V65536.1", 0},
        {"V1.70000", 0},
        {"V5", 0},
        {"V5.", 0},
        {".5", 0},
        {"", 0},
        {"firmware", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(FirmwareVersion(c.text), c.version) << c.text;
}

TEST(OnvifRules, MacText) {
    std::array<std::uint8_t, 6> mac{};
    ASSERT_TRUE(ParseMac("00:1A:2b:3c:4D:5e", mac));
    EXPECT_EQ(mac, (std::array<std::uint8_t, 6>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    ASSERT_TRUE(ParseMac("ff-ee-dd-cc-bb-aa", mac));
    EXPECT_EQ(mac[5], 0xAA);
    for (const char* bad : {"", "00:1A:2b:3c:4D", "00:1A:2b:3c:4D:5e:", "001A2b3c4D5e00000", "00:1A:2b:3c:4D:5g",
                            "00:1A:2b:3c:4D+5e", "+0:1A:2b:3c:4D:5e"}) {
        EXPECT_FALSE(ParseMac(bad, mac)) << bad;
    }
}

TEST(OnvifRules, ClassAndRecordModel) {
    const QName display{ns::kNetwork, "NetworkVideoDisplay"};
    const QName storage{ns::kNetwork, "NetworkVideoStorage"};
    const QName transmitter{ns::kNetwork, "NetworkVideoTransmitter"};
    const QName foreignStorage{"urn:other", "NetworkVideoStorage"};
    const Service displayService{ns::kDisplay, ""};
    const Service recording{ns::kRecording, ""};
    const Service receiver{ns::kReceiver, ""};
    const struct {
        const char* model;
        std::vector<QName> types;
        std::vector<std::string> scopes;
        std::vector<Service> services;
        const char* recordModel;
    } cases[] = {
        {"NVR5208", {display}, {}, {displayService}, "NVR5208"},  // class already in the model wins
        {"DEC-01", {storage}, {}, {}, "DEC-01"},
        {"CAM-2040", {transmitter}, {}, {}, "IPC-CAM-2040"},
        {"W1", {transmitter, display}, {}, {}, "DEC-W1"},
        {"W2", {}, {}, {displayService, recording, receiver}, "DEC-W2"},  // display before storage
        {"S1", {storage}, {"onvif://www.onvif.org/hardware/XVR1"}, {}, "NVR-S1"},
        {"S2", {}, {}, {recording, receiver}, "NVR-S2"},
        {"S3", {}, {}, {recording}, "IPC-S3"},  // recording alone is a camera with storage
        {"S4", {foreignStorage}, {}, {}, "IPC-S4"},
        {"xvr-3208", {}, {}, {}, "DVR-xvr-3208"},
        {"H1", {}, {"onvif://www.onvif.org/hardware/HVR-16"}, {}, "DVR-H1"},
        {"H2", {}, {"onvif://www.onvif.org/name/ADVR"}, {}, "DVR-H2"},
        {"ipc100", {}, {}, {}, "IPC-ipc100"},  // class names are upper case in the record
        {"", {}, {}, {}, "IPC-"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", {}, {}, {}, "IPC-ABCDEFGHIJKLMNOPQRSTUVWXYZ0"},
        {"NVRABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", {}, {}, {}, "NVRABCDEFGHIJKLMNOPQRSTUVWXYZ01"},
    };
    for (const auto& c : cases) {
        const ClassEvidence evidence{c.model, c.types, c.scopes, c.services};
        const std::string model = RecordModel(evidence);
        EXPECT_EQ(model, c.recordModel) << c.model;
        EXPECT_EQ(model.substr(0, 3), DeviceClass(evidence)) << c.model;
        EXPECT_LT(model.size(), sizeof(DeviceRecord::model));
    }
}

}  // namespace
