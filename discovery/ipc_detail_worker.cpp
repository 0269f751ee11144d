#include "discovery/ipc_detail_worker.h"

#include <string>

#include "discovery/discovery_control.h"

unsigned IpcDetailWorker(DiscoveryControl& control, std::shared_ptr<DiscoveryRun> run, const DeviceSlot* slot) {
    const DeviceRecord& record = slot->record;
    if (control.StopRequested(*run)) return 1;
    std::int32_t handle = -1;
    const CameraLogin login = LoginToCamera(
        control.sdk, record, [&](std::chrono::milliseconds pause) { return control.Pause(*run, pause); }, handle);
    if (login == CameraLogin::kGaveUp) return 1;
    if (login == CameraLogin::kFailed) {
        control.EndOfRunTest(*run);
        return 1;
    }

    std::string sensorModel;
    if (!control.StopRequested(*run) && ReadSensorModel(control.sdk, handle, sensorModel)) {
        std::lock_guard lock(control.listLock);
        if (!control.StopRequested(*run))
            control.PostModelText(run->generation, slot->rowIndex,
                                  CameraModelText(control.catalogue, record, std::move(sensorModel)));
    }
    control.sdk.Logout(handle);
    control.EndOfRunTest(*run);
    return 1;
}
