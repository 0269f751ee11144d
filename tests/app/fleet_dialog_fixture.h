// The main dialog off screen over the sample fleet, run by the simulator in
// this process on loopback, with the SDK pointed at it.
#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <functional>
#include <map>
#include <string>

#include "devsim/fleet_server.h"
#include "devsim/fleet_xml.h"
#include "netsdk/settings_store.h"
#include "res/resources.h"
#include "tests/app/dialog_fixture.h"

namespace testing_support {

class FleetDialogTest : public DialogTest {
protected:
    static constexpr std::uint32_t kLoopback = 0x7F000001u;

    void SetUp() override {
        DialogTest::SetUp();
        InstallIconFile();
        std::filesystem::copy_file(FleetsDir() / "Config.xml", "Config.xml");
    }

    static std::filesystem::path FleetsDir() {
        return std::filesystem::path(TARNWICK_SOURCE_DIR) / "devsim" / "fleets";
    }

    // Starts the sample fleet, changed by `adjust`, each control port free.
    void StartFleet(const std::function<void(devsim::Fleet&)>& adjust = {}) {
        devsim::Fleet fleet;
        std::string error;
        ASSERT_TRUE(devsim::LoadFleetFile((FleetsDir() / "sample.xml").string(), fleet, error)) << error;
        for (devsim::DeviceProfile& device : fleet.devices) device.record.privatePort = 0;
        if (adjust) adjust(fleet);
        devsim::ServerOptions options;
        options.discoveryAddress = kLoopback;
        options.discoveryPort = 0;
        server_ = devsim::FleetServer::Start(fleet, options, error);
        ASSERT_TRUE(server_) << error;
    }

    // Opens the dialog and points the SDK, which its start-up loaded from
    // the test settings, at the fleet, logging in with `password`.
    CTarnwickDlg& OpenOnFleet() {
        CTarnwickDlg& dlg = Open();
        PointSdkAtFleet("tarnwick");
        return dlg;
    }
    void PointSdkAtFleet(const std::string& password) {
        netsdk::Settings settings = netsdk::CurrentSettings();
        settings.autoTargets = false;
        settings.targets = {{kLoopback, server_->discoveryPort()}};
        settings.discoveryPort = server_->discoveryPort();
        settings.bindAddress = kLoopback;
        settings.windowMs = 800;
        settings.password = password;
        netsdk::ApplySettings(settings);
    }

    // Serves the event loop until `done` holds, at most `ms` milliseconds.
    static bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            QTest::qWait(5);
        }
        return true;
    }

    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    bool Enabled(int id) { return Control(id)->isEnabled(); }
    // Clicks Discovery and waits for the controls to come back.
    bool RunDiscovery() {
        Click(IDC_DISCOVERY);
        return WaitFor([&] { return Enabled(IDC_DISCOVERY); });
    }
    std::string Text(int row, int column) {
        char text[128];
        dialog_->deviceList->GetItemText(row, column, text, sizeof text);
        return text;
    }
    int RowOf(const std::string& serial) {
        for (int row = 0; row < dialog_->deviceList->GetItemCount(); ++row)
            if (Text(row, 0) == serial) return row;
        return -1;
    }
    std::map<std::string, std::string> ModelsBySerial() {
        std::map<std::string, std::string> models;
        for (int row = 0; row < dialog_->deviceList->GetItemCount(); ++row) models[Text(row, 0)] = Text(row, 1);
        return models;
    }
    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(Control(id)); }
    // The fleet's record of `serial` as the simulator holds it now.
    DeviceRecord DeviceNow(const std::string& serial) {
        for (const devsim::DeviceProfile& d : server_->Snapshot().devices)
            if (serial == d.record.sn) return d.record;
        return {};
    }

    std::unique_ptr<devsim::FleetServer> server_;
};

}  // namespace testing_support
