#include "record/discovery_log.h"

#include <tinyxml.h>

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

void ResetDiscoveryLog(DiscoveryLog& log) {
    std::lock_guard lock(log.mutex_);
    if (log.document_) log.document_->Clear();
    log.document_.reset();
    auto document = std::make_unique<TiXmlDocument>();
    document->LinkEndChild(new TiXmlElement("TREE"));
    log.document_ = std::move(document);
}
