// A simulated fleet as the fleet file describes it: per device its record,
// credentials, sensor model, configuration entries and behaviours.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devsim/onvif/onvif_profile.h"
#include "netsdk/wire/spake2plus.h"
#include "sdk/device_record.h"

namespace devsim {

// Ways a device departs from a well-behaved one.
struct Behaviour {
    int refuseLogins = 0;        // refuse this many login attempts first
    bool wrongPassword = false;  // reject every login proof
    bool configFails = false;    // answer configuration reads with a failure
    int sensorModelEntries = 1;  // 0, 1 or 2 "SensorModel" entries in the generated block
    int answerDelayMs = 0;       // delay before each discovery answer
    int duplicateAnswers = 0;    // extra copies of each discovery answer
    int lateAnswerMs = 0;        // one more answer this long after each probe
    bool goneMidLogin = false;   // vanish when the first login starts
    bool silent = false;         // accept connections but never answer on them
    bool operator==(const Behaviour&) const = default;
};

struct ConfigItem {
    std::string name;
    std::string value;
    bool operator==(const ConfigItem&) const = default;
};

inline constexpr std::size_t kMaxConfigItems = 10;

// What a device keeps of its password: the key-derivation parameters and
// the verifier (w0 and L), from which the password cannot be recovered
// except by guessing.
struct StoredVerifier {
    wire::spake2::PbkdfParams params;
    wire::spake2::Verifier verifier;
};

// Draws a fresh salt and derives the verifier of `user` and `password`.
bool MakeStoredVerifier(std::string_view user, std::string_view password, StoredVerifier& out);

struct DeviceProfile {
    DeviceRecord record{};  // user and password fields stay empty
    std::string user = "admin";
    // The password as a fleet file or a test gives it; a running device
    // turns it into `verifier` and forgets it.
    std::string password;
    std::optional<StoredVerifier> verifier;
    std::string sensorModel;
    std::vector<ConfigItem> config;  // empty: a block of ten is generated
    Behaviour behaviour;
};

// Devices of our own protocol, and ONVIF devices (WS-Discovery and Device
// Management over HTTP) beside them.
struct Fleet {
    std::vector<DeviceProfile> devices;
    std::vector<OnvifProfile> onvifDevices;
};

// Longest texts an ONVIF device of a fleet may have.
inline constexpr std::size_t kOnvifSerialLimit = 47;  // fits the record's serial number
inline constexpr std::size_t kOnvifTextLimit = 63;    // manufacturer, model, firmware, hardware id, password
inline constexpr std::size_t kOnvifUserLimit = 31;
inline constexpr std::size_t kOnvifDnsLimit = 4;

// The entries a configuration read returns: the explicit ones, or ten
// generated around the sensor model as the behaviour says.
std::vector<ConfigItem> ConfigEntries(const DeviceProfile& device);

// Checks what the simulator relies on: texts fit their fields, addresses
// parse, every device has a password or a verifier (an ONVIF device its
// password), and no two devices of either kind share a serial number, an
// address or a MAC (an unset MAC is not compared). `error` says what is
// wrong in one line; `where`, when given, names device i in it (a fleet file
// gives its line), otherwise the serial number alone does. Devices are
// numbered `devices` first, then `onvifDevices`.
bool ValidateFleet(const Fleet& fleet, std::string& error,
                   const std::function<std::string(std::size_t)>& where = {});

}  // namespace devsim
