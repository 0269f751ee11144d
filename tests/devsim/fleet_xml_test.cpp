// Fleet files: reading, writing back, refusing what the simulator cannot run.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tinyxml.h>

#include <cstring>
#include <functional>
#include <set>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "tests/support/temp_dir.h"

namespace {

const char* kOneDevice = R"(<?xml version="1.0"?>
<Fleet>
  <Device sn="IC2A00000001" model="IPC-B210" user="admin" password="pw" sensorModel="IMX291"
          controlPort="8000" httpPort="80" rtspPort="65535" version="2.3" buildDate="2016-02-29">
    <Eth0 ip="127.0.1.10" mask="255.0.0.0" gw="127.0.0.1" dns1="127.0.0.53" dns2="0.0.0.0" mac="00:1a:2b:3c:4d:5e"/>
    <Wifi ip="10.0.0.2"/>
    <Config name="SensorModel" value="IMX291"/>
    <Config name="Lens" value="2.8 mm"/>
    <Behaviour refuseLogins="2" silent="true" duplicateAnswers="3" sensorModelEntries="2"/>
  </Device>
</Fleet>)";

TEST(FleetXml, ReadsEveryPartOfADevice) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::ParseFleetXml(kOneDevice, fleet, error)) << error;
    ASSERT_EQ(fleet.devices.size(), 1u);
    const devsim::DeviceProfile& d = fleet.devices[0];
    EXPECT_STREQ(d.record.sn, "IC2A00000001");
    EXPECT_STREQ(d.record.eth0.ip, "127.0.1.10");
    EXPECT_STREQ(d.record.wifi.ip, "10.0.0.2");
    EXPECT_EQ(d.record.eth0.mac[5], 0x5e);
    EXPECT_EQ(d.record.rtspPort, 65535);
    EXPECT_EQ(d.record.softwareVersion, MakeVersion(2, 3));
    EXPECT_EQ(d.record.buildDate, MakeBuildDate(2016, 2, 29));
    EXPECT_EQ(d.password, "pw");
    EXPECT_EQ(d.config.size(), 2u);
    EXPECT_EQ(d.config[1].value, "2.8 mm");
    EXPECT_EQ(d.behaviour.refuseLogins, 2);
    EXPECT_TRUE(d.behaviour.silent);
    EXPECT_EQ(d.behaviour.duplicateAnswers, 3);
    EXPECT_EQ(d.behaviour.sensorModelEntries, 2);
}

TEST(FleetXml, WritingAndReadingBackGivesTheSameFleet) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::ParseFleetXml(kOneDevice, fleet, error));
    devsim::GeneratorOptions options;
    options.count = 12;
    for (auto& device : devsim::GenerateFleet(options).devices) fleet.devices.push_back(device);
    devsim::Fleet back;
    const std::string text = devsim::FleetToXml(fleet);
    EXPECT_EQ(text.find("password"), std::string::npos);
    ASSERT_TRUE(devsim::ParseFleetXml(text, back, error)) << error;
    ASSERT_EQ(back.devices.size(), fleet.devices.size());
    for (std::size_t i = 0; i < fleet.devices.size(); ++i) {
        const auto& a = fleet.devices[i];
        const auto& b = back.devices[i];
        EXPECT_EQ(std::memcmp(&a.record, &b.record, sizeof a.record), 0) << i;
        EXPECT_EQ(a.user, b.user);
        // The saved file holds the verifier, which the password still opens.
        ASSERT_TRUE(b.verifier.has_value()) << i;
        EXPECT_TRUE(b.password.empty());
        wire::spake2::ProverSecret secret;
        wire::spake2::Verifier again;
        ASSERT_TRUE(wire::spake2::DeriveProverSecret(a.password, a.user, "", b.verifier->params, secret));
        ASSERT_TRUE(wire::spake2::MakeVerifier(secret, again));
        EXPECT_EQ(again.w0, b.verifier->verifier.w0) << i;
        EXPECT_EQ(again.L, b.verifier->verifier.L) << i;
        EXPECT_EQ(a.sensorModel, b.sensorModel);
        EXPECT_EQ(a.config, b.config);
        EXPECT_EQ(a.behaviour, b.behaviour);
    }
}

TEST(FleetXml, RefusesWhatCannotRun) {
    const char* bad[] = {
        "<Fleet><Device model='x'><Eth0 ip='127.0.0.1'/></Device></Fleet>",               // no serial
        "<Fleet><Device sn='A'><Eth0 ip='127.0.0.300'/></Device></Fleet>",               // bad address
        "<Fleet><Device sn='A'/></Fleet>",                                                 // no address
        "<Fleet><Device sn='A' controlPort='70000'><Eth0 ip='127.0.0.1'/></Device></Fleet>",
        "<Fleet><Device sn='A'><Eth0 ip='127.0.0.1' mac='00:11:22:33:44'/></Device></Fleet>",
        "<Fleet><Device sn='A' version='2'><Eth0 ip='127.0.0.1'/></Device></Fleet>",
        "<Fleet><Device sn='A' password='sixteen-chars-xx'><Eth0 ip='127.0.0.1'/></Device></Fleet>",
        "<Fleet><Device sn='A'><Eth0 ip='127.0.0.1'/><Behaviour silent='maybe'/></Device></Fleet>",
        "<Fleet><Device sn='A'><Eth0 ip='127.0.0.1'/></Device><Device sn='A'><Eth0 ip='127.0.0.2'/></Device></Fleet>",
        "<Devices/>",
        "<Fleet><Device",
        "<Fleet></Fleet>\x17\xe6",  // a cut multi-byte character (TinyXML would read past it)
        "<Fleet><Device sn='\xff'><Eth0 ip='127.0.0.1'/></Device></Fleet>",
    };
    for (const char* text : bad) {
        devsim::Fleet fleet;
        std::string error;
        EXPECT_FALSE(devsim::ParseFleetXml(text, fleet, error)) << text;
        EXPECT_FALSE(error.empty());
    }
    std::string eleven = "<Fleet><Device sn='A'><Eth0 ip='127.0.0.1'/>";
    for (int i = 0; i < 11; ++i) eleven += "<Config name='n' value='v'/>";
    devsim::Fleet fleet;
    std::string error;
    EXPECT_FALSE(devsim::ParseFleetXml(eleven + "</Device></Fleet>", fleet, error));
}

const char* kOnvifFleet = R"(<?xml version="1.0"?>
<Fleet>
  <Device sn="IC2A00000001" password="pw"><Eth0 ip="127.0.2.9" mac="02:00:00:00:00:09"/></Device>
  <OnvifDevice kind="recorder" sn="ON-1" manufacturer="Maker &amp; Co" model="Cam 9" firmware="V1.2 build 3" hardwareId="IMX327"
               user="root" password="p&quot;w" mac="02:AB:00:00:00:01" ip="127.0.2.1" prefix="16"
               gw="127.0.2.254" dns="127.0.2.53,127.0.2.54" httpPort="0" rtspPort="8554" dhcp="1">
    <Behaviour clockOffset="-7200" rebootNeeded="1" refuseLogins="true" answerDelayMs="300"
               moveDelayMs="1500" probeTypes="Device" digestOnly="1"/>
  </OnvifDevice>
  <OnvifDevice sn="ON-2" password="x" ip="127.0.2.2"/>
</Fleet>)";

TEST(FleetXml, OnvifDevicesAreReadAndSavedBackWithTheirPassword) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::ParseFleetXml(kOnvifFleet, fleet, error)) << error;
    ASSERT_EQ(fleet.devices.size(), 1u);
    ASSERT_EQ(fleet.onvifDevices.size(), 2u);
    const devsim::OnvifProfile& d = fleet.onvifDevices[0];
    EXPECT_EQ(d.kind, devsim::OnvifKind::Recorder);
    EXPECT_EQ(fleet.onvifDevices[1].kind, devsim::OnvifKind::Camera);
    EXPECT_EQ(d.manufacturer, "Maker & Co");
    EXPECT_EQ(d.password, "p\"w");
    EXPECT_EQ(d.user, "root");
    EXPECT_EQ(d.network.hwAddress, "02:ab:00:00:00:01");
    EXPECT_EQ(d.network.prefixLength, 16);
    EXPECT_TRUE(d.network.dhcp);
    EXPECT_EQ(d.dns, (std::vector<std::string>{"127.0.2.53", "127.0.2.54"}));
    EXPECT_EQ(d.httpPort, 0);
    EXPECT_EQ(d.rtspPort, 8554);
    EXPECT_EQ(d.behaviour.clockOffset, -7200);
    EXPECT_TRUE(d.behaviour.rebootNeeded && d.behaviour.refuseLogins && d.behaviour.digestOnly);
    EXPECT_EQ(d.behaviour.answerDelay, std::chrono::milliseconds(300));
    EXPECT_EQ(d.behaviour.moveDelay, std::chrono::milliseconds(1500));
    EXPECT_EQ(d.behaviour.probeAnswer, devsim::OnvifProbeAnswer::DeviceOnly);
    // The defaults of a device that gives only what it must.
    const devsim::OnvifProfile& plain = fleet.onvifDevices[1];
    EXPECT_EQ(plain.user, "admin");
    EXPECT_EQ(plain.network.prefixLength, 24);
    EXPECT_EQ(plain.httpPort, 80);
    EXPECT_EQ(plain.behaviour, devsim::OnvifBehaviour{});

    fleet.onvifDevices[1].network.address = "127.0.2.77";  // as a re-addressed device is saved
    devsim::Fleet back;
    ASSERT_TRUE(devsim::ParseFleetXml(devsim::FleetToXml(fleet), back, error)) << error;
    EXPECT_EQ(back.onvifDevices, fleet.onvifDevices);
    EXPECT_EQ(back.devices.size(), 1u);
}

TEST(FleetXml, OnvifDevicesThatCannotRunAreRefusedWithTheirLine) {
    const std::string own = "<Device sn='A1' password='pw'><Eth0 ip='127.0.2.9' mac='02:00:00:00:00:09'/></Device>\n";
    const struct {
        const char* onvif;
        const char* refusal;
    } cases[] = {
        {"<OnvifDevice sn='O' ip='127.0.2.1'/>", "line 2: ONVIF device O: no password"},
        {"<OnvifDevice sn='O' password='p'/>", "missing ip"},
        {"<OnvifDevice password='p' ip='127.0.2.1'/>", "missing sn"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.300'/>", "ip is not an address"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' gw='gateway'/>", "gw is not an address"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' dns='127.0.2.53,,127.0.2.54'/>", "dns has an empty entry"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' dns='127.0.2.53,x'/>", "dns is not a list of addresses"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' prefix='33'/>", "prefix out of range"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' kind='nvr'/>", "kind"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' httpPort='65536'/>", "httpPort out of range"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' mac='02:00:00:00:00'/>", "mac is not a MAC address"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' model='0123456789012345678901234567890123456789012345678901234567890123'/>",
         "too long"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' mask='255.0.0.0'/>", "unknown attribute \"mask\""},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1'><Eth0/></OnvifDevice>", "unknown element <Eth0>"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1'><Behaviour/><Behaviour/></OnvifDevice>",
         "second <Behaviour>"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1'><Behaviour probeTypes='Storage'/></OnvifDevice>",
         "probeTypes is not both|NetworkVideoTransmitter|Device"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1'><Behaviour clockOffset='999999999'/></OnvifDevice>",
         "clockOffset out of range"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1'><Behaviour silent='1'/></OnvifDevice>",
         "unknown attribute \"silent\""},
        // Neither kind may share a serial number, an address or a MAC with the other.
        {"<OnvifDevice sn='A1' password='p' ip='127.0.2.1'/>", "serial number A1 already used by the device on line 1"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.9'/>", "address 127.0.2.9 already used by the device on line 1"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' mac='02:00:00:00:00:09'/>", "MAC 02:00:00:00:00:09 already used"},
        {"<OnvifDevice sn='O' password='p' ip='127.0.2.1' mac='02:AA:00:00:00:01'/>\n"
         "<OnvifDevice sn='P' password='p' ip='127.0.2.2' mac='02:aa:00:00:00:01'/>",
         "line 3: ONVIF device P: MAC 02:aa:00:00:00:01 already used by the device on line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.onvif);
        devsim::Fleet fleet;
        std::string error;
        EXPECT_FALSE(devsim::ParseFleetXml("<Fleet>" + own + c.onvif + "</Fleet>", fleet, error));
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
}

class FleetFile : public testing_support::TempDirTest {};

TEST_F(FleetFile, SavingReplacesTheFileWhole) {
    const std::string path = (dir() / "fleet.xml").string();
    WriteFile("fleet.xml", "old contents");
    devsim::GeneratorOptions options;
    options.count = 3;
    std::string error;
    ASSERT_TRUE(devsim::SaveFleetFile(path, devsim::GenerateFleet(options), error)) << error;
    devsim::Fleet loaded;
    ASSERT_TRUE(devsim::LoadFleetFile(path, loaded, error)) << error;
    EXPECT_EQ(loaded.devices.size(), 3u);
    EXPECT_FALSE(devsim::SaveFleetFile((dir() / "no-such-dir" / "f.xml").string(), loaded, error));
}

struct LoadCase {
    const char* name;
    std::function<std::string()> text;
    std::size_t devices;  // loaded, when `refusal` is empty
    const char* refusal;  // what the error says otherwise
};

std::string Repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

// A file nested 50 000 deep would overflow the parser's stack, and files
// are read only up to their limit; the largest generated fleet still loads.
TEST_F(FleetFile, FilesTooDeepOrTooLargeAreRefusedAndLargeFleetsLoad) {
    devsim::GeneratorOptions options;
    options.count = 4096;
    const std::string large = devsim::FleetToXml(devsim::GenerateFleet(options));
    const std::string small = R"(<Fleet><Device sn="A" password="pw"><Eth0 ip="127.0.0.1"/></Device></Fleet>)";
    const LoadCase cases[] = {
        {"4096 generated devices", [&] { return large; }, 4096, ""},
        {"nested 50 000 deep", [] { return "<Fleet>" + Repeat("<a>", 50000) + Repeat("</a>", 50000) + "</Fleet>"; },
         0, "deeper than 64"},
        {"exactly at the size limit",
         [&] { return small + std::string(devsim::kMaxFleetFileBytes - small.size(), '\n'); }, 1, ""},
        {"one byte over the size limit",
         [&] { return small + std::string(devsim::kMaxFleetFileBytes - small.size() + 1, '\n'); }, 0,
         "larger than 8 MiB"},
        {"not XML", [] { return std::string("<Fleet><Device"); }, 0, "not well-formed"},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("fleet.xml", c.text());
        devsim::Fleet fleet;
        std::string error;
        const bool loaded = devsim::LoadFleetFile("fleet.xml", fleet, error);
        if (*c.refusal == '\0') {
            EXPECT_TRUE(loaded) << error;
            EXPECT_EQ(fleet.devices.size(), c.devices);
        } else {
            EXPECT_FALSE(loaded);
            EXPECT_NE(error.find("fleet.xml: "), std::string::npos) << error;
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
    }
}

// Fleet files hold every device's password: each save makes the file 0600
// whatever the umask, and leaves nothing else behind.
TEST_F(FleetFile, SavedFilesAreTheOwnersOnlyWhateverTheUmask) {
    devsim::GeneratorOptions options;
    options.count = 3;
    const devsim::Fleet fleet = devsim::GenerateFleet(options);
    for (const mode_t mask : {0022u, 0077u, 0277u, 0000u}) {
        SCOPED_TRACE(testing::Message() << "umask " << std::oct << mask);
        WriteFile("fleet.xml", "old contents");
        chmod("fleet.xml", 0644);
        const mode_t previous = umask(mask);
        std::string error;
        const bool saved = devsim::SaveFleetFile("fleet.xml", fleet, error);
        umask(previous);
        ASSERT_TRUE(saved) << error;
        struct stat st {};
        ASSERT_EQ(stat("fleet.xml", &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(".")) names.insert(entry.path().filename());
        EXPECT_EQ(names, std::set<std::string>{"fleet.xml"});
    }
}

}  // namespace
