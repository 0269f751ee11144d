#include <new>
#include <string>

#include <tinyxml.h>

#include "record/discovery_log.h"
#include "record/discovery_node.h"
#include "record/document_bytes.h"

void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log) {
    std::unique_lock lock(log.mutex_);
    try {
        if (!log.document_) return;
        TiXmlElement* root = FindRoot(*log.document_);
        if (root == nullptr) return;
        if (!AppendNode(*root, record)) {
            // The incomplete node stays, and the next save prints it with the rest.
            log.nodesTextComplete_ = false;
            return;
        }
    } catch (const std::bad_alloc&) {
        // The append stops; what was linked stays, and the next complete
        // append writes it with the rest.
        log.nodesTextComplete_ = false;
        return;
    }
    if (log.nodesTextComplete_) {
        try {
            const TiXmlElement* node = FindRoot(*log.document_)->LastChild()->ToElement();
            log.nodesTextComplete_ = AppendNodeText(*node, log.nodesText_);
        } catch (const std::bad_alloc&) {
            log.nodesTextComplete_ = false;  // the save prints the whole document instead
        }
    }
    log.RequestSaveLocked(lock);
}
