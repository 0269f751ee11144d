#include <gtest/gtest.h>

#include <cstring>

#include "sdk/device_record.h"

namespace {

// The layout is also enforced at compile time; this checks that bytes written
// at the documented offsets land in the named fields.
TEST(DeviceRecordLayout, FieldsSitAtTheirOffsets) {
    unsigned char bytes[sizeof(DeviceRecord)] = {};
    std::memcpy(bytes + 100 + 80, "\x00\x1a\x2b\x3c\x4d\x5e", 6);  // wifi.mac
    bytes[300] = 0x40;  // privatePort 8000, little-endian
    bytes[301] = 0x1F;
    bytes[304] = 0xFF;  // rtspPort 65535
    bytes[305] = 0xFF;
    std::memcpy(bytes + 308, "SN0001", 7);
    std::memcpy(bytes + 404, "IPC-X", 6);
    bytes[436] = 3;  // softwareVersion 2.3
    bytes[438] = 2;
    const std::uint32_t date = MakeBuildDate(2016, 2, 29);
    std::memcpy(bytes + 440, &date, 4);

    DeviceRecord record;
    std::memcpy(&record, bytes, sizeof record);
    EXPECT_EQ(record.wifi.mac[1], 0x1a);
    EXPECT_EQ(record.wifi.mac[5], 0x5e);
    EXPECT_EQ(record.privatePort, 8000);
    EXPECT_EQ(record.rtspPort, 65535);
    EXPECT_STREQ(record.sn, "SN0001");
    EXPECT_STREQ(record.model, "IPC-X");
    EXPECT_EQ(VersionMajor(record.softwareVersion), 2u);
    EXPECT_EQ(VersionMinor(record.softwareVersion), 3u);
    EXPECT_EQ(BuildYear(record.buildDate), 2016u);
    EXPECT_EQ(BuildMonth(record.buildDate), 2u);
    EXPECT_EQ(BuildDay(record.buildDate), 29u);
}

TEST(DeviceRecordLayout, VersionAndDateHalvesAreUnsigned) {
    EXPECT_EQ(VersionMajor(0xFFFF0001u), 65535u);
    EXPECT_EQ(VersionMinor(0x0001FFFFu), 65535u);
    // Month byte 0 reads as 0; the day is the low byte only.
    EXPECT_EQ(BuildMonth(MakeBuildDate(2016, 0, 31)), 0u);
    EXPECT_EQ(BuildDay(0x07E002FFu), 255u);
    EXPECT_EQ(BuildYear(0xFFFF0000u), 65535u);
}

}  // namespace
