// The discovery record of the current run: an XML document in memory,
// saved as "Discovery.Xml" in the current directory after every device.
#pragma once

#include <memory>
#include <mutex>

#include "sdk/device_record.h"

class TiXmlDocument;

namespace platform {
class Dialog;
}

// The document behind Discovery.Xml, possibly absent. One lock guards it:
// appends come from SDK threads, the reset from the control loop and the
// load's walk from the UI thread.
class DiscoveryLog {
public:
    DiscoveryLog();
    ~DiscoveryLog();
    DiscoveryLog(const DiscoveryLog&) = delete;
    DiscoveryLog& operator=(const DiscoveryLog&) = delete;

    bool IsAbsent() const;
    // Empties and deletes the document without saving it.
    void Discard();

private:
    friend void ResetDiscoveryLog(DiscoveryLog& log);
    friend void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log);
    friend void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog,
                                         DeviceRecord& modifyRecord);

    mutable std::mutex mutex_;
    std::unique_ptr<TiXmlDocument> document_;
};

// Starts a fresh document holding only "TREE". Writes no file.
void ResetDiscoveryLog(DiscoveryLog& log);

// Appends one "Node" for `record` and saves the whole document.
void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log);

// The device list's item-changed handler: finds the node of the first
// selected row by serial number, loads it into `modifyRecord` and shows its
// wired address, netmask and gateway in edit boxes 1002, 1003 and 1004.
void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog, DeviceRecord& modifyRecord);
