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
