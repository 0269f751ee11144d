#include "discovery/ipc_detail_worker.h"

#include <array>
#include <chrono>
#include <cstring>
#include <string>

#include "discovery/discovery_callback.h"
#include "discovery/discovery_control.h"
#include "sdk/field_text.h"

namespace {

constexpr std::string_view kSensorModel = "SensorModel";

// The camera's sensor model from configuration command 533, or false.
bool ReadSensorModel(DiscoverySdk& sdk, std::int32_t handle, std::string& sensorModel) {
    SensorConfigEntry entries[kSensorConfigEntries];
    std::memset(entries, 0, sizeof entries);
    std::uint32_t bytesReturned = 0;
    if (sdk.GetDVRConfig(handle, Q9_GET_SENSOR_CONFIG, 0, entries, sizeof entries, &bytesReturned) == 0)
        return false;
    const int index = FindSensorModelEntry(entries);
    if (index < 0) return false;
    sensorModel = FieldText(entries[index].value);
    return true;
}

}  // namespace

int FindSensorModelEntry(const SensorConfigEntry (&entries)[kSensorConfigEntries]) {
    for (int i = 0; i < kSensorConfigEntries; ++i)
        if (FieldText(entries[i].name) == kSensorModel) return i;
    return -1;
}

unsigned IpcDetailWorker(DiscoveryControl& control, std::shared_ptr<DiscoveryRun> run, const DeviceSlot* slot) {
    const DeviceRecord& record = slot->record;
    // The login target, each text cut at its field's end.
    const std::string address(FieldText(record.eth0.ip));
    const std::string user(FieldText(record.user));
    const std::string password(FieldText(record.password));
    std::array<char, Q9_LOGIN_INFO_SIZE> deviceInfo{};
    const auto login = [&] {
        return control.sdk.Login(address.c_str(), std::uint32_t{record.privatePort}, user.c_str(),
                                 password.c_str(), deviceInfo.data());
    };

    if (control.StopRequested(*run)) return 1;
    std::int32_t handle = login();
    for (int attemptsLeft = kLoginAttempts - 1; handle == -1 && attemptsLeft > 0; --attemptsLeft) {
        if (!control.Pause(*run, std::chrono::milliseconds(kLoginPauseMs))) return 1;
        handle = login();
    }
    if (handle == -1) {
        control.EndOfRunTest(*run);
        return 1;
    }

    std::string sensorModel;
    if (!control.StopRequested(*run) && ReadSensorModel(control.sdk, handle, sensorModel)) {
        const ModelKey key = ModelKeyOf(record, std::move(sensorModel));
        std::lock_guard lock(control.listLock);
        if (!control.StopRequested(*run)) {
            const std::string* name = FindModelName(control.catalogue, key);
            control.PostModelText(run->generation, slot->rowIndex,
                                  name != nullptr ? *name : std::string(FieldText(record.model)));
        }
    }
    control.sdk.Logout(handle);
    control.EndOfRunTest(*run);
    return 1;
}
