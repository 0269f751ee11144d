#include "record/discovery_log.h"

#include <new>

#include <tinyxml.h>

#include "record/atomic_file.h"
#include "record/document_bytes.h"

DiscoveryLog::DiscoveryLog() = default;

DiscoveryLog::~DiscoveryLog() { Discard(); }

bool DiscoveryLog::IsAbsent() const {
    std::lock_guard lock(mutex_);
    return document_ == nullptr;
}

void DiscoveryLog::Discard() {
    std::lock_guard lock(mutex_);
    if (document_) document_->Clear();
    document_.reset();
}

bool DiscoveryLog::TakeSnapshotLocked(std::string& bytes, std::uint64_t& number) {
    if (!document_ || !PrintDocument(*document_, bytes)) return false;
    number = ++snapshotsTaken_;
    return true;
}

void DiscoveryLog::SaveSnapshot(const std::string& bytes, std::uint64_t number) {
    std::lock_guard lock(fileMutex_);
    if (number <= snapshotOnDisk_) return;
    if (ReplaceFileAtomically(kDiscoveryFileName, bytes)) snapshotOnDisk_ = number;
}

void ResetDiscoveryLog(DiscoveryLog& log) {
    std::lock_guard lock(log.mutex_);
    if (log.document_) log.document_->Clear();
    log.document_.reset();
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
