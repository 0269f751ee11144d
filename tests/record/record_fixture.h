// A temporary current directory, a discovery log, and a fake main dialog
// whose device list and edit boxes the load handler uses.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <tinyxml.h>

#include "record/discovery_log.h"
#include "res/resources.h"
#include "tests/record/sample_records.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"

namespace record_testing {

class RecordTest : public testing_support::TempDirTest {
protected:
    RecordTest() : dialog(*FindDialogTemplate(IDD_TARNWICK_DIALOG)) { std::memset(&modifyRecord, 0, sizeof modifyRecord); }

    testing_support::FakeListView& List() { return dialog.list(IDC_DEVICE_LIST); }
    // Adds a row whose column 0 is `sn` and returns its index.
    int AddRow(std::string_view sn) { return List().InsertItem(List().GetItemCount(), sn); }
    void Select(int row) { List().SetItemSelected(row, true); }
    void Load() { LoadNodeIntoModifyRecord(log, dialog, modifyRecord); }
    // Appends and waits until the file holds the node.
    void AppendAndSave(const DeviceRecord& record) {
        AppendDiscoveryNode(record, log);
        WaitDiscoveryLogSaved(log);
    }
    std::string Box(int id) { return dialog.window().texts[id]; }
    void SetBoxes(const std::string& text) {
        for (int id : {IDC_LOCAL_IP, IDC_NETMASK, IDC_GATEWAY}) dialog.window().texts[id] = text;
    }

    DiscoveryLog log;
    testing_support::FakeDialog dialog;
    DeviceRecord modifyRecord;
};

// The "A" values of the "SN" children of the nodes in a saved file, in order.
inline std::vector<std::string> SerialsInFile(const std::string& bytes) {
    std::vector<std::string> serials;
    TiXmlDocument document;
    document.Parse(bytes.c_str());
    if (document.Error()) return {"<does not parse>"};
    const TiXmlElement* root = document.FirstChildElement("TREE");
    if (root == nullptr) return {"<no TREE>"};
    for (const TiXmlElement* node = root->FirstChildElement(); node; node = node->NextSiblingElement()) {
        const TiXmlElement* sn = node->FirstChildElement("SN");
        serials.push_back(sn && sn->Attribute("A") ? sn->Attribute("A") : "<no SN>");
    }
    return serials;
}

inline unsigned FileMode(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 ? (st.st_mode & 07777u) : 0xFFFFu;
}

// The names in the current directory, sorted.
inline std::vector<std::string> FilesHere() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace record_testing
