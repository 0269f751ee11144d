#include "discovery/device_model.h"

#include <array>
#include <cstring>
#include <string_view>

#include "discovery/discovery_callback.h"
#include "sdk/field_text.h"

namespace {

constexpr std::string_view kSensorModel = "SensorModel";

}  // namespace

std::string RecorderModelText(const ModelCatalogue& catalogue, const DeviceRecord& record) {
    if (const std::string* name = FindModelName(catalogue, ModelKeyOf(record, {}))) return *name;
    return std::string(FieldText(record.model));
}

std::string CameraModelText(const ModelCatalogue& catalogue, const DeviceRecord& record, std::string sensorModel) {
    const std::string* name = FindModelName(catalogue, ModelKeyOf(record, std::move(sensorModel)));
    return name != nullptr ? *name : std::string(FieldText(record.model));
}

CameraLogin LoginToCamera(DiscoverySdk& sdk, const DeviceRecord& record, const LoginPause& pause,
                          std::int32_t& handle) {
    // The login target, each text cut at its field's end.
    const std::string address(FieldText(record.eth0.ip));
    const std::string user(FieldText(record.user));
    const std::string password(FieldText(record.password));
    std::array<char, Q9_LOGIN_INFO_SIZE> deviceInfo{};
    const auto login = [&] {
        return sdk.Login(address.c_str(), std::uint32_t{record.privatePort}, user.c_str(), password.c_str(),
                         deviceInfo.data());
    };

    handle = login();
    for (int attemptsLeft = kLoginAttempts - 1; handle == -1 && attemptsLeft > 0; --attemptsLeft) {
        if (!pause(std::chrono::milliseconds(kLoginPauseMs))) return CameraLogin::kGaveUp;
        handle = login();
    }
    return handle == -1 ? CameraLogin::kFailed : CameraLogin::kLoggedIn;
}

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

int FindSensorModelEntry(const SensorConfigEntry (&entries)[kSensorConfigEntries]) {
    for (int i = 0; i < kSensorConfigEntries; ++i)
        if (FieldText(entries[i].name) == kSensorModel) return i;
    return -1;
}

bool ResolveCameraModel(DiscoverySdk& sdk, const ModelCatalogue& catalogue, const DeviceRecord& record,
                        const LoginPause& pause, std::string& modelText) {
    std::int32_t handle = -1;
    if (LoginToCamera(sdk, record, pause, handle) != CameraLogin::kLoggedIn) return false;
    std::string sensorModel;
    const bool read = ReadSensorModel(sdk, handle, sensorModel);
    if (read) modelText = CameraModelText(catalogue, record, std::move(sensorModel));
    sdk.Logout(handle);
    return read;
}
