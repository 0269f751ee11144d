// The discovery record of the current run: an XML document in memory,
// saved as "Discovery.Xml" in the current directory after every device.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "sdk/device_record.h"

class TiXmlDocument;

namespace platform {
class Dialog;
}

// The file the document is saved to, in the current directory.
inline constexpr const char kDiscoveryFileName[] = "Discovery.Xml";

// The document behind Discovery.Xml, possibly absent. One lock guards it:
// appends come from SDK threads, the reset from the control loop and the
// load's walk from the UI thread. The lock is never held while the window
// is touched or while the file is written.
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

    // The document's bytes as the file holds them, numbered in the order
    // taken. Caller holds mutex_.
    bool TakeSnapshotLocked(std::string& bytes, std::uint64_t& number);
    // Writes a snapshot to the file unless a later one is there already, so
    // that overlapping appends never leave an older document on disk.
    void SaveSnapshot(const std::string& bytes, std::uint64_t number);

    mutable std::mutex mutex_;  // guards document_ and snapshotsTaken_
    std::unique_ptr<TiXmlDocument> document_;
    std::uint64_t snapshotsTaken_ = 0;

    std::mutex fileMutex_;  // orders the writes of the file
    std::uint64_t snapshotOnDisk_ = 0;
};

// Starts a fresh document holding only "TREE". Writes no file.
void ResetDiscoveryLog(DiscoveryLog& log);

// Appends one "Node" for `record` and saves the whole document, replacing
// the file atomically; returns once the file holds the new node (or the save
// has failed, which is not reported).
void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log);

// The device list's item-changed handler (its result for the notification
// is always 0): finds the node of the first selected row by serial number,
// loads it into `modifyRecord` and shows its wired address, netmask and
// gateway in edit boxes 1002, 1003 and 1004. UI thread only.
void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog, DeviceRecord& modifyRecord);
