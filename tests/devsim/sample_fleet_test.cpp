// The shipped sample fleet runs, covers every class, and matches the
// sample catalogue beside it.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <map>
#include <set>

#include "devsim/fleet_generator.h"
#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"

namespace {

const std::string kFleets = TARNWICK_FLEETS_DIR;

using Catalogue = std::set<std::pair<std::string, std::string>>;

Catalogue LoadCatalogue() {
    Catalogue keys;
    TiXmlDocument doc((kFleets + "/Config.xml").c_str());
    if (!doc.LoadFile()) return keys;
    const TiXmlElement* group = doc.RootElement() ? doc.RootElement()->FirstChildElement() : nullptr;
    for (const TiXmlElement* e = group ? group->FirstChildElement() : nullptr; e; e = e->NextSiblingElement()) {
        if (e->Attribute("SerialNo") && e->Attribute("SensorType") && e->Attribute("Name")) {
            keys.emplace(e->Attribute("SerialNo"), e->Attribute("SensorType"));
        }
    }
    return keys;
}

TEST(SampleFleet, HasEveryClassAndMatchesTheCatalogue) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::LoadFleetFile(kFleets + "/sample.xml", fleet, error)) << error;
    const Catalogue catalogue = LoadCatalogue();
    ASSERT_FALSE(catalogue.empty());
    std::set<std::string> classes;
    std::set<std::string> unnamed;
    for (const devsim::DeviceProfile& device : fleet.devices) {
        const std::string model = device.record.model;
        classes.insert(model.substr(0, 3));
        const std::string sensor = model.rfind("IPC", 0) == 0 ? device.sensorModel : "";
        if (!catalogue.count({std::string(device.record.sn).substr(0, 4), sensor})) unnamed.insert(device.record.sn);
    }
    EXPECT_EQ(classes, (std::set<std::string>{"DEC", "DVR", "IPC", "NVR"}));
    // Two devices are left out of the catalogue on purpose, to show the fallback.
    EXPECT_EQ(unnamed, (std::set<std::string>{"IC4B00000405", "NV9900000999"}));
}

TEST(SampleFleet, GeneratedFleetsUseOnlyCataloguedKinds) {
    const Catalogue catalogue = LoadCatalogue();
    devsim::GeneratorOptions options;
    options.count = 60;
    for (const devsim::DeviceProfile& device : devsim::GenerateFleet(options).devices) {
        const std::string sensor = std::string(device.record.model).rfind("IPC", 0) == 0 ? device.sensorModel : "";
        EXPECT_TRUE(catalogue.count({std::string(device.record.sn).substr(0, 4), sensor})) << device.record.sn;
    }
}

TEST(SampleFleet, StartsOnLoopback) {
    devsim::Fleet fleet;
    std::string error;
    ASSERT_TRUE(devsim::LoadFleetFile(kFleets + "/sample.xml", fleet, error)) << error;
    for (auto& device : fleet.devices) device.record.privatePort = 0;  // free ports: no clash with a running demo
    devsim::ServerOptions options;
    options.discoveryPort = 0;
    auto server = devsim::FleetServer::Start(fleet, options, error);
    ASSERT_TRUE(server) << error;
    EXPECT_EQ(server->Snapshot().devices.size(), fleet.devices.size());
}

}  // namespace
