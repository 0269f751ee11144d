#include "record/discovery_log.h"

#include <new>
#include <system_error>

#include <tinyxml.h>

#include "record/atomic_file.h"
#include "record/document_bytes.h"

DiscoveryLog::DiscoveryLog() = default;

DiscoveryLog::~DiscoveryLog() {
    Discard();
    {
        std::lock_guard lock(mutex_);
        stopWriter_ = true;
    }
    saveAsked_.notify_all();
    if (writer_.joinable()) writer_.join();
}

bool DiscoveryLog::IsAbsent() const {
    std::lock_guard lock(mutex_);
    return document_ == nullptr;
}

void DiscoveryLog::Discard() {
    std::unique_lock lock(mutex_);
    WaitSavedLocked(lock);
    if (document_) document_->Clear();
    document_.reset();
    nodesText_.clear();
    nodesTextComplete_ = true;
}

bool DiscoveryLog::SnapshotLocked(std::string& bytes) const {
    if (!document_) return false;
    if (nodesTextComplete_) {
        bytes = TreeDocumentText(nodesText_);
        return true;
    }
    return PrintDocument(*document_, bytes);
}

void DiscoveryLog::RequestSaveLocked(std::unique_lock<std::mutex>& lock) {
    ++savesAsked_;
    if (!writer_.joinable()) {
        try {
            writer_ = std::thread([this] { WriterLoop(); });
        } catch (...) {
            // No thread to be had: this caller saves, as the writer would.
            SaveNewestLocked(lock);
            return;
        }
    }
    saveAsked_.notify_one();
}

void DiscoveryLog::SaveNewestLocked(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t number = savesAsked_;
    std::string bytes;
    bool printed = false;
    try {
        printed = SnapshotLocked(bytes);
    } catch (const std::bad_alloc&) {
        // Not saved this time; the next append asks again.
    }
    lock.unlock();
    if (printed) ReplaceFileAtomically(kDiscoveryFileName, bytes);
    lock.lock();
    if (number > savesTried_) savesTried_ = number;
    saveTried_.notify_all();
}

void DiscoveryLog::WaitSavedLocked(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t target = savesAsked_;
    saveTried_.wait(lock, [&] { return savesTried_ >= target; });
}

void DiscoveryLog::WriterLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        saveAsked_.wait(lock, [&] { return stopWriter_ || savesAsked_ > savesTried_; });
        if (savesAsked_ == savesTried_) return;  // asked to stop, nothing left unsaved
        SaveNewestLocked(lock);
    }
}

void WaitDiscoveryLogSaved(DiscoveryLog& log) {
    std::unique_lock lock(log.mutex_);
    log.WaitSavedLocked(lock);
}

void ResetDiscoveryLog(DiscoveryLog& log) {
    std::unique_lock lock(log.mutex_);
    log.WaitSavedLocked(lock);
    if (log.document_) log.document_->Clear();
    log.document_.reset();
    log.nodesText_.clear();
    log.nodesTextComplete_ = true;
    try {
        std::unique_ptr<TiXmlDocument> document(new (std::nothrow) TiXmlDocument);
        if (!document) return;
        auto* tree = new (std::nothrow) TiXmlElement("TREE");
        if (!tree) return;
        document->LinkEndChild(tree);
        log.document_ = std::move(document);
    } catch (const std::bad_alloc&) {
        // The log stays absent until the next reset.
    }
}
