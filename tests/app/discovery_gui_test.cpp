// The Discovery button in the window, end to end: the dialog off screen,
// our SDK and the sample fleet on loopback.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

#include "tests/app/fleet_dialog_fixture.h"
#include "tests/app/screenshot.h"
#include "tests/support/sample_fleet_names.h"
#include "tests/record/record_fixture.h"

using namespace platform;

namespace {

class DiscoveryWindowTest : public testing_support::FleetDialogTest {};

TEST_F(DiscoveryWindowTest, RecordersFirstThenTheWholeFleetWithCameraNames) {
    StartFleet();
    CTarnwickDlg& dlg = OpenOnFleet();
    QAbstractItemModelTester tester(qt::TableViewOf(dlg.deviceList)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);

    // Only "NVR" is ticked at start-up.
    Click(IDC_DISCOVERY);
    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC, IDC_TYPE_NVR, IDC_DISCOVERY, IDC_LOCAL_IP, IDC_NETMASK,
                   IDC_GATEWAY, IDC_MODIFY})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(IDC_DEVICE_LIST));
    // A close during the run is refused.
    RequestClose();
    EXPECT_TRUE(Widget()->isVisible());
    ASSERT_TRUE(WaitFor([&] { return Enabled(IDC_DISCOVERY); }));
    EXPECT_EQ(ModelsBySerial(), (std::map<std::string, std::string>{{"NV0800000101", "Tarn Recorder 8"},
                                                                    {"NV1600000102", "Tarn Recorder 16"},
                                                                    {"NV9900000999", "NVR-9999"}}));

    // No camera was asked for: the progress is gone with the run.
    EXPECT_EQ(dlg.GetDlgItemText(IDC_RUN_PROGRESS), "");

    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC}) Click(id);
    Click(IDC_DISCOVERY);
    ASSERT_TRUE(WaitFor([&] { return dlg.GetDlgItemText(IDC_RUN_PROGRESS).rfind("Found ", 0) == 0; }));
    ASSERT_TRUE(WaitFor([&] { return Enabled(IDC_DISCOVERY); }));
    ASSERT_EQ(dlg.deviceList->GetItemCount(), 11);
    // The controls are back while slow cameras still log in: the count of
    // models still pending stays until the last one is in.
    const std::string progress = dlg.GetDlgItemText(IDC_RUN_PROGRESS);
    EXPECT_TRUE(progress.rfind("Found 11 devices, ", 0) == 0 && progress.find("pending") != std::string::npos)
        << progress;
    ASSERT_TRUE(testing_support::SaveWindowPicture(Widget(), std::filesystem::path(TARNWICK_SCREENSHOT_DIR) /
                                                                 "main-dialog-progress.png"));
    // IC8C00000404 refuses its first login, so its name comes a second later.
    const std::map<std::string, std::string>& expected = testing_support::SampleFleetModelNames();
    EXPECT_TRUE(WaitFor([&] { return ModelsBySerial() == expected; }));
    EXPECT_EQ(ModelsBySerial(), expected);
    EXPECT_TRUE(WaitFor([&] { return dlg.GetDlgItemText(IDC_RUN_PROGRESS).empty(); }));

    std::vector<std::string> rows;
    for (int row = 0; row < 11; ++row) rows.push_back(Text(row, 0));
    EXPECT_EQ(record_testing::SerialsInFile(ReadFile("Discovery.Xml")), rows);

    const std::filesystem::path dir = TARNWICK_SCREENSHOT_DIR;
    ASSERT_TRUE(testing_support::SaveWindowPicture(Widget(), dir / "main-dialog-discovery.png"));

    // After the run, the close goes through at once.
    QElapsedTimer closing;
    closing.start();
    RequestClose();
    EXPECT_FALSE(Widget()->isVisible());
    RecordProperty("close_ms", static_cast<int>(closing.elapsed()));
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
}

}  // namespace
