#include "discovery/discovery_callback.h"

#include <cstdio>
#include <cstring>

#include "discovery/device_class.h"
#include "discovery/device_model.h"
#include "discovery/ipc_detail_worker.h"
#include "sdk/field_text.h"

namespace {

void AcceptAnswer(DiscoveryControl& control, const DeviceRecord& record, const DeviceClass& deviceClass) {
    std::lock_guard accept(control.acceptLock);
    const std::shared_ptr<DiscoveryRun> run = control.currentRun;
    if (!run) return;  // no run has started yet

    const std::int32_t n = run->rowCount;
    DeviceSlot& slot = run->deviceSlots.emplace_back();
    std::memcpy(&slot.record, &record, sizeof record);
    slot.rowIndex = n;

    AppendDiscoveryNode(record, control.log);
    const std::string modelText = deviceClass.camera ? std::string() : RecorderModelText(control.catalogue, record);
    AddDeviceRow(control, *run, slot, modelText.c_str());
    ++run->devicesFound;
    if (deviceClass.camera) {
        const DeviceSlot* camera = &slot;
        ++run->modelsPending;
        const bool started = control.workerThreads.Start([&control, run, camera] {
            IpcDetailWorker(control, run, camera);
            --run->modelsPending;
            control.PostProgress(run);
        });
        if (!started) --run->modelsPending;
    }
    control.PostProgress(run);

    std::lock_guard lock(control.listLock);
    ++run->rowCount;
    ++run->reportedCount;
}

}  // namespace

void Q9_CALLCONV OnDeviceDiscovered(const DeviceRecord* record, void* user) {
    if (record == nullptr || user == nullptr) return;
    auto& control = *static_cast<DiscoveryControl*>(user);
    try {
        for (const DeviceClass& deviceClass : kDeviceClasses) {
            if (!control.BoxTicked(deviceClass.box)) continue;
            if (!IsOfClass(*record, deviceClass)) continue;
            AcceptAnswer(control, *record, deviceClass);
        }
    } catch (...) {
        // Out of memory: the answer is dropped, and nothing reaches the SDK.
    }
}

void AddDeviceRow(DiscoveryControl& control, const DiscoveryRun& run, DeviceSlot slot, const char* modelText) {
    DeviceRowTexts texts = DeviceRowTextsOf(slot.record, modelText);
    std::lock_guard lock(control.listLock);
    control.PostRow(run.generation, slot.rowIndex, std::move(texts));
}

DeviceRowTexts DeviceRowTextsOf(const DeviceRecord& r, const char* modelText) {
    char mac[18];
    std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", unsigned{r.eth0.mac[0]}, unsigned{r.eth0.mac[1]},
                  unsigned{r.eth0.mac[2]}, unsigned{r.eth0.mac[3]}, unsigned{r.eth0.mac[4]}, unsigned{r.eth0.mac[5]});
    char version[64];
    std::snprintf(version, sizeof version, "V%u.%u build %04u-%02u-%02u", VersionMajor(r.softwareVersion),
                  VersionMinor(r.softwareVersion), BuildYear(r.buildDate), BuildMonth(r.buildDate),
                  BuildDay(r.buildDate));
    return {
        std::string(FieldText(r.sn)),
        std::string(modelText),
        mac,
        std::string(FieldText(r.eth0.ip)),
        std::string(FieldText(r.eth0.mask)),
        std::string(FieldText(r.eth0.gw)),
        std::to_string(unsigned{r.privatePort}),
        std::to_string(unsigned{r.httpPort}),
        std::to_string(unsigned{r.rtspPort}),
        version,
    };
}

ModelKey ModelKeyOf(const DeviceRecord& record, std::string sensorType) {
    return ModelKey{std::string(FieldText(record.sn).substr(0, 4)), std::move(sensorType)};
}
