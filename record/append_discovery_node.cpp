#include <new>
#include <string>

#include <tinyxml.h>

#include "record/discovery_log.h"
#include "record/discovery_node.h"

void AppendDiscoveryNode(const DeviceRecord& record, DiscoveryLog& log) {
    try {
        std::string bytes;
        std::uint64_t snapshot = 0;
        {
            std::lock_guard lock(log.mutex_);
            if (!log.document_) return;
            TiXmlElement* root = FindRoot(*log.document_);
            if (root == nullptr || !AppendNode(*root, record)) return;
            if (!log.TakeSnapshotLocked(bytes, snapshot)) return;
        }
        // Written outside the document's lock, so neither other appends nor
        // the UI thread's loads wait for the disk.
        log.SaveSnapshot(bytes, snapshot);
    } catch (const std::bad_alloc&) {
        // The append stops; what was linked stays, and the next complete
        // append writes it with the rest.
    }
}
