// The Model column's text of a device. A recorder's or decoder's comes from
// the catalogue by serial prefix; a camera's needs a login to read its
// sensor model first. The window's camera workers and tarnwick-cli share
// these steps.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "config/model_catalogue.h"
#include "discovery/discovery_sdk.h"
#include "sdk/device_record.h"

// Login attempts of a camera, and the pause before each one after the first.
inline constexpr int kLoginAttempts = 3;
inline constexpr int kLoginPauseMs = 1000;

// The catalogue's name for a recorder or decoder (serial prefix, no sensor
// type), or the record's own model.
std::string RecorderModelText(const ModelCatalogue& catalogue, const DeviceRecord& record);

// The catalogue's name for a camera with sensor model `sensorModel`, or the
// record's own model.
std::string CameraModelText(const ModelCatalogue& catalogue, const DeviceRecord& record, std::string sensorModel);

// Waits before another login attempt; false when the caller gives up instead.
using LoginPause = std::function<bool(std::chrono::milliseconds)>;

enum class CameraLogin { kLoggedIn, kFailed, kGaveUp };

// Logs into the camera of `record` at its wired address and control port
// with the record's user and password: up to kLoginAttempts attempts, with
// `pause(kLoginPauseMs)` before each one after the first. `handle` is set
// when the result is kLoggedIn.
CameraLogin LoginToCamera(DiscoverySdk& sdk, const DeviceRecord& record, const LoginPause& pause,
                          std::int32_t& handle);

// The camera's sensor model from configuration command 533, or false.
bool ReadSensorModel(DiscoverySdk& sdk, std::int32_t handle, std::string& sensorModel);

// The index of the first entry of a configuration block named exactly
// "SensorModel", or -1.
int FindSensorModelEntry(const SensorConfigEntry (&entries)[kSensorConfigEntries]);

// Every step for a caller that need not stop between them: login, sensor
// model, catalogue lookup, logout. False, with `modelText` unchanged, when
// the login or the read fails (the window then leaves the Model column
// empty).
bool ResolveCameraModel(DiscoverySdk& sdk, const ModelCatalogue& catalogue, const DeviceRecord& record,
                        const LoginPause& pause, std::string& modelText);
