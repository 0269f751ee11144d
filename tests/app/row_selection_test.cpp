#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableView>

#include "record/discovery_log.h"
#include "res/resources.h"
#include "tests/app/dialog_fixture.h"

using namespace platform;
using testing_support::DialogTest;

namespace {

DeviceRecord Device(const char* sn, const char* ip, const char* mask, const char* gw) {
    DeviceRecord r{};
    std::snprintf(r.sn, sizeof r.sn, "%s", sn);
    std::snprintf(r.eth0.ip, sizeof r.eth0.ip, "%s", ip);
    std::snprintf(r.eth0.mask, sizeof r.eth0.mask, "%s", mask);
    std::snprintf(r.eth0.gw, sizeof r.eth0.gw, "%s", gw);
    std::snprintf(r.model, sizeof r.model, "NVR-16");
    r.privatePort = 8000;
    return r;
}

QString EditText(QWidget* w) { return qobject_cast<QLineEdit*>(w)->text(); }

// Selecting a row in the on-screen list loads its node into the edit boxes.
TEST_F(DialogTest, SelectingARowShowsItsAddressesInTheEditBoxes) {
    CTarnwickDlg& dlg = Open();
    ResetDiscoveryLog(dlg.DiscoveryLog);
    const DeviceRecord devices[] = {Device("NV01A", "127.0.1.10", "255.0.0.0", "127.0.0.1"),
                                    Device("NV01B", "127.0.1.11", "255.255.0.0", "127.0.0.2")};
    for (int i = 0; i < 2; ++i) {
        AppendDiscoveryNode(devices[i], dlg.DiscoveryLog);
        dlg.deviceList->InsertItem(i, devices[i].sn);
    }

    QTableView* view = qt::TableViewOf(dlg.deviceList);
    view->selectRow(1);
    QTRY_COMPARE(EditText(Control(IDC_LOCAL_IP)), QString("127.0.1.11"));
    EXPECT_EQ(EditText(Control(IDC_NETMASK)), "255.255.0.0");
    EXPECT_EQ(EditText(Control(IDC_GATEWAY)), "127.0.0.2");
    EXPECT_STREQ(dlg.modifyRecord.sn, "NV01B");
    EXPECT_EQ(dlg.modifyRecord.privatePort, 8000);

    // Typed text is replaced at the next change notification of the list.
    qobject_cast<QLineEdit*>(Control(IDC_LOCAL_IP))->setText("10.0.0.1");
    view->selectRow(0);
    QTRY_COMPARE(EditText(Control(IDC_LOCAL_IP)), QString("127.0.1.10"));
    EXPECT_STREQ(dlg.modifyRecord.sn, "NV01A");
}

TEST_F(DialogTest, ASelectionWithoutARecordChangesNothing) {
    CTarnwickDlg& dlg = Open();
    dlg.deviceList->InsertItem(0, "NV01A");
    qobject_cast<QLineEdit*>(Control(IDC_LOCAL_IP))->setText("typed");
    qt::TableViewOf(dlg.deviceList)->selectRow(0);
    QTRY_COMPARE(dlg.deviceList->GetNextSelectedItem(-1), 0);
    QApplication::processEvents();
    EXPECT_EQ(EditText(Control(IDC_LOCAL_IP)), "typed");
    const DeviceRecord zero{};
    EXPECT_EQ(std::memcmp(&dlg.modifyRecord, &zero, sizeof zero), 0);
}

}  // namespace
