// The Model column that the window (and tarnwick-cli) ends with for the
// sample fleet (devsim/fleets/sample.xml) and its catalogue, by serial number.
#pragma once

#include <map>
#include <string>

namespace testing_support {

inline const std::map<std::string, std::string>& SampleFleetModelNames() {
    static const std::map<std::string, std::string> names = {
        {"NV0800000101", "Tarn Recorder 8"},       {"NV1600000102", "Tarn Recorder 16"},
        {"DV0400000201", "Tarn DVR 4"},            {"DV0800000202", "Tarn DVR 8"},
        {"DE1600000301", "Tarn Decoder 16"},       {"IC2A00000401", "Tarn Cam 2MP Bullet"},
        {"IC2A00000402", "Tarn Cam 2MP Bullet Lite"}, {"IC4B00000403", "Tarn Cam 4MP Dome"},
        {"IC8C00000404", "Tarn Cam 8MP Turret"},   {"IC4B00000405", "IPC-D440"},
        {"NV9900000999", "NVR-9999"}};
    return names;
}

}  // namespace testing_support
