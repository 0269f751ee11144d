// The main dialog: the window, the state its handlers share, and the
// discovery runs it starts.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "config/model_catalogue.h"
#include "config/ui_texts.h"
#include "discovery/discovery_control.h"
#include "platform/dialog.h"
#include "platform/icon.h"
#include "platform/list_view.h"
#include "record/discovery_log.h"
#include "sdk/device_record.h"

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
    // threads and the SDK were never set up.
    bool IsReady() const { return ready; }

    // Members, in the order the rest of the system knows them.
    platform::Icon appIcon;
    platform::ListView* deviceList = nullptr;  // control 1000, bound by DoDataExchange
    ::DiscoveryLog DiscoveryLog;
    DeviceRecord modifyRecord;
    ::ModelCatalogue ModelCatalogue;
    ::UiTexts UiTexts;
    // The discovery runs: flags, counters, threads and listLock. Declared
    // last, so that its threads end before what they use goes.
    DiscoveryControl discovery{*this, DiscoveryLog, ModelCatalogue};

protected:
    bool OnInitDialog() override;
    void DoDataExchange() override;
    std::vector<platform::MessageMapEntry> MessageMap() override;

private:
    void OnSysCommand(unsigned commandId, std::intptr_t param);
    void OnDiscoveryClicked();
    void OnDiscoveryDone();
    void OnClose();
    // Ends the threads and unregisters the dialog, so that nothing reaches
    // it once it has gone.
    void TakeDown();

    bool ready = false;
};

// The one dialog, published at the end of a complete start-up and cleared
// when it closes.
extern std::atomic<CTarnwickDlg*> mainDialog;
