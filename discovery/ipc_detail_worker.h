// The camera worker: logs into one camera, reads its sensor model and puts
// the camera's display name into its row's Model column.
#pragma once

#include <memory>

#include "discovery/device_model.h"
#include "discovery/device_slot.h"
#include "sdk/device_record.h"

class DiscoveryControl;
struct DiscoveryRun;

// Works on the camera of `slot`, a slot of `run`. A worker whose run has
// been stopped writes nothing more and ends as soon as its SDK call
// returns. Returns 1.
unsigned IpcDetailWorker(DiscoveryControl& control, std::shared_ptr<DiscoveryRun> run, const DeviceSlot* slot);
