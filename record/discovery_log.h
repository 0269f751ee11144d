// The discovery record of the current run: an XML document in memory,
// saved as "Discovery.Xml" in the current directory after every device.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

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
//
// Saving is done by one writer thread of the log's own, so that an append
// returns without waiting for the disk. The writer always saves the newest
// document, whole: appends that come while it writes are saved together by
// its next write.
class DiscoveryLog {
public:
    DiscoveryLog();
    // Saves what is still unsaved, then ends the writer.
    ~DiscoveryLog();
    DiscoveryLog(const DiscoveryLog&) = delete;
    DiscoveryLog& operator=(const DiscoveryLog&) = delete;

    bool IsAbsent() const;
    // Empties and deletes the document without saving it again; saves that
    // earlier appends asked for are finished first.
    void Discard();

private:
    friend void ResetDiscoveryLog(DiscoveryLog& log);
    friend void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log);
    friend void WaitDiscoveryLogSaved(DiscoveryLog& log);
    friend void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog,
                                         DeviceRecord& modifyRecord);

    // The document's bytes as the file save writes them. Caller holds mutex_.
    bool SnapshotLocked(std::string& bytes) const;
    // Asks for the document as it stands to be saved. Caller holds `lock`.
    void RequestSaveLocked(std::unique_lock<std::mutex>& lock);
    // Writes the newest document, with `lock` released while the disk works.
    void SaveNewestLocked(std::unique_lock<std::mutex>& lock);
    // Waits until every save asked for so far has been tried.
    void WaitSavedLocked(std::unique_lock<std::mutex>& lock);
    void WriterLoop();

    mutable std::mutex mutex_;
    std::unique_ptr<TiXmlDocument> document_;
    // The nodes as the document save prints them below the root, kept as
    // they are appended so that a save need not print the whole document
    // again. False after an append that stopped half-way: the whole
    // document is printed then, until the next reset.
    std::string nodesText_;
    bool nodesTextComplete_ = true;

    std::uint64_t savesAsked_ = 0;  // appends that changed the document
    std::uint64_t savesTried_ = 0;  // the newest of them the writer has written (or failed to)
    bool stopWriter_ = false;
    std::condition_variable saveAsked_;
    std::condition_variable saveTried_;
    std::thread writer_;
};

// Starts a fresh document holding only "TREE". Writes no file; saves that
// earlier appends asked for are finished first, so the file keeps the
// previous run whole.
void ResetDiscoveryLog(DiscoveryLog& log);

// Appends one "Node" for `record` and asks for the whole document to be
// saved, replacing the file atomically. Returns without waiting for the
// disk; a failed save is not reported and the next append tries again.
void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log);

// Returns once the file holds every node appended before the call, or once
// saving it has failed.
void WaitDiscoveryLogSaved(DiscoveryLog& log);

// The device list's item-changed handler (its result for the notification
// is always 0): finds the node of the first selected row by serial number,
// loads it into `modifyRecord` and shows its wired address, netmask and
// gateway in edit boxes 1002, 1003 and 1004. UI thread only.
void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog, DeviceRecord& modifyRecord);
