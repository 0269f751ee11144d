#include <cstring>
#include <string_view>

#include <tinyxml.h>

#include "platform/dialog.h"
#include "platform/list_view.h"
#include "record/discovery_log.h"
#include "record/discovery_node.h"
#include "res/resource_ids.h"
#include "sdk/field_text.h"

void LoadNodeIntoModifyRecord(DiscoveryLog& log, platform::Dialog& dialog, DeviceRecord& modifyRecord) {
    platform::ListView* list = dialog.GetListView(IDC_DEVICE_LIST);
    if (list == nullptr) return;
    const int row = list->GetNextSelectedItem(-1);
    if (row < 0) return;
    if (log.IsAbsent()) return;
    if (row >= list->GetItemCount()) return;
    char serial[128] = {};
    list->GetItemText(row, 0, serial, sizeof serial);

    // The node is copied out under the lock; the window is written after.
    DeviceRecord loaded;
    {
        std::lock_guard lock(log.mutex_);
        if (!log.document_) return;
        const TiXmlElement* root = FindRoot(*log.document_);
        if (root == nullptr) return;
        const TiXmlElement* node = FindNodeBySerial(*root, serial);
        if (node == nullptr) return;
        ReadNode(*node, loaded);
    }
    std::memcpy(&modifyRecord, &loaded, sizeof modifyRecord);
    dialog.SetDlgItemText(IDC_LOCAL_IP, FieldText(modifyRecord.eth0.ip));
    dialog.SetDlgItemText(IDC_NETMASK, FieldText(modifyRecord.eth0.mask));
    dialog.SetDlgItemText(IDC_GATEWAY, FieldText(modifyRecord.eth0.gw));
}
