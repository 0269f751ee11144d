// The main dialog and all the state it shares with the discovery threads.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "config/model_catalogue.h"
#include "config/ui_texts.h"
#include "discovery/device_slot.h"
#include "platform/dialog.h"
#include "platform/icon.h"
#include "platform/list_view.h"
#include "record/discovery_log.h"
#include "sdk/device_record.h"

// Sent to the dialog when a discovery run has ended.
inline constexpr unsigned WM_DISCOVERY_DONE = platform::WM_USER + 100;

class CTarnwickDlg : public platform::Dialog {
public:
    CTarnwickDlg();
    ~CTarnwickDlg() override;

    // Enables or disables the four type boxes, Discovery, the three edit
    // boxes and Modify, in that order. The list and the labels stay enabled.
    void EnableControls(bool enable);
    // The ten columns with their built-in headings and widths.
    void InsertDefaultColumns();

    // True once start-up ran to its end; false after an early end, when the
    // lock, the threads and the SDK were never set up.
    bool IsReady() const { return ready; }

    // Members, in the order the rest of the system knows them.
    platform::Icon appIcon;
    platform::ListView* deviceList = nullptr;  // control 1000, bound by DoDataExchange
    ::DiscoveryLog DiscoveryLog;
    DeviceRecord modifyRecord;
    std::unique_ptr<std::mutex> listLock;
    ::ModelCatalogue ModelCatalogue;
    ::UiTexts UiTexts;
    std::atomic<std::int32_t> loopRunning{0};
    std::atomic<std::int32_t> startRequested{0};
    std::atomic<std::int32_t> stopRequested{0};
    std::atomic<std::int32_t> rowCount{0};
    std::atomic<std::int32_t> finalCount{0};
    std::thread controlThread;
    std::thread discoveryThread;
    std::array<std::thread, kMaxDevices> workerThreads;
    std::array<DeviceSlot, kMaxDevices> deviceSlots;
    std::atomic<std::int32_t> reportedCount{0};
    std::atomic<bool> completionSent{true};

protected:
    bool OnInitDialog() override;
    void DoDataExchange() override;
    std::vector<platform::MessageMapEntry> MessageMap() override;

private:
    void OnSysCommand(unsigned commandId, std::intptr_t param);
    void OnClose();

    bool ready = false;
};

// The one dialog, published at the end of a complete start-up.
extern std::atomic<CTarnwickDlg*> mainDialog;
