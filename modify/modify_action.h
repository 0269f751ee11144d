// The Modify button: the three edit boxes into the modification record, the
// address checks, the SDK's modify call and the message box with its outcome.
#pragma once

#include "config/ui_texts.h"
#include "platform/dialog.h"
#include "sdk/device_record.h"

// Handler of BN_CLICKED from button 1007, on the UI thread. Reads edit boxes
// 1002, 1003 and 1004 into `modifyRecord`'s wired address, netmask and
// gateway, checks those and the two DNS servers, sends the whole record and
// shows the outcome under texts entry 15 (entry 16 on success, 17 on
// failure). Invalid input, a box text longer than an address field holds
// included, is refused without a message and nothing is sent.
void OnModifyClicked(platform::Dialog& dialog, DeviceRecord& modifyRecord, const UiTexts& texts);
