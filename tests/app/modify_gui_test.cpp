// The Modify button in the window, end to end: the dialog off screen, our
// SDK and the sample fleet on loopback, the message box answered as a user
// would answer it.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <optional>

#include "tests/app/fleet_dialog_fixture.h"
#include "tests/app/screenshot.h"

using namespace platform;

namespace {

struct Shown {
    std::string caption;
    std::string text;
    bool operator==(const Shown&) const = default;
};

class ModifyWindowTest : public testing_support::FleetDialogTest {
protected:
    // Presses Modify and, if a message box comes up, reads it, pictures it
    // when asked and closes it with OK.
    std::optional<Shown> PressModify(const char* picture = nullptr) {
        std::optional<Shown> shown;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr || !box->isVisible()) continue;
                watch.stop();
                EXPECT_EQ(box->parentWidget(), Widget());
                EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
                EXPECT_EQ(box->buttons().size(), 1);
                shown = Shown{box->windowTitle().toStdString(), box->text().toStdString()};
                if (picture) {
                    const std::filesystem::path file = std::filesystem::path(TARNWICK_SCREENSHOT_DIR) / picture;
                    EXPECT_TRUE(testing_support::SaveWindowPicture(box, file));
                }
                box->button(QMessageBox::Ok)->click();
                return;
            }
        });
        watch.start(10);
        Click(IDC_MODIFY);  // returns once the box, if any, has been closed
        return shown;
    }

    // Selects the row of `serial` and waits for the edit boxes to show its address.
    bool Select(const std::string& serial) {
        const int row = RowOf(serial);
        if (row < 0) return false;
        qt::TableViewOf(dialog_->deviceList)->selectRow(row);
        const std::string ip = Text(row, 3);
        return WaitFor([&] { return Box(IDC_LOCAL_IP)->text().toStdString() == ip; });
    }

    std::uint64_t ModifyRequests() { return server_->counters().modifyRequests.load(); }
};

TEST_F(ModifyWindowTest, ModifyMovesTheDeviceAndTheOutcomeIsShown) {
    StartFleet();
    OpenOnFleet();
    ASSERT_TRUE(RunDiscovery());

    // Selecting a row fills the boxes from its record.
    ASSERT_TRUE(Select("NV0800000101"));
    EXPECT_EQ(Box(IDC_NETMASK)->text(), "255.0.0.0");
    EXPECT_EQ(Box(IDC_GATEWAY)->text(), "127.0.0.1");
    Box(IDC_LOCAL_IP)->setText("127.0.1.51");
    EXPECT_EQ(PressModify("modify-ok-box.png"), (Shown{"Notice", "Modify OK"}));
    EXPECT_STREQ(DeviceNow("NV0800000101").eth0.ip, "127.0.1.51");
    // The next run lists it at its new address.
    ASSERT_TRUE(RunDiscovery());
    ASSERT_GE(RowOf("NV0800000101"), 0);
    EXPECT_EQ(Text(RowOf("NV0800000101"), 3), "127.0.1.51");

    // A netmask the device refuses: the failure text, and it stays put.
    ASSERT_TRUE(Select("NV1600000102"));
    Box(IDC_NETMASK)->setText("255.0.255.0");
    EXPECT_EQ(PressModify(), (Shown{"Notice", "Modify Failed"}));
    EXPECT_STREQ(DeviceNow("NV1600000102").eth0.ip, "127.0.1.2");
    EXPECT_STREQ(DeviceNow("NV1600000102").eth0.mask, "255.0.0.0");

    // Discovered with a wrong password in the SDK's settings: refused too.
    PointSdkAtFleet("wrong-secret");
    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(Select("NV9900000999"));
    Box(IDC_LOCAL_IP)->setText("127.0.1.52");
    EXPECT_EQ(PressModify(), (Shown{"Notice", "Modify Failed"}));
    EXPECT_STREQ(DeviceNow("NV9900000999").eth0.ip, "127.0.1.20");
}

// Nothing reaches the network for input the checks refuse; a valid input
// after a new run sends the last selection's record with the boxes' texts.
TEST_F(ModifyWindowTest, InvalidInputSendsNothing) {
    StartFleet([](devsim::Fleet& fleet) {
        for (devsim::DeviceProfile& d : fleet.devices)
            if (std::string(d.record.sn) == "NV1600000102") d.record.eth0.dns1[0] = '\0';
    });
    OpenOnFleet();
    Box(IDC_LOCAL_IP)->setText("127.0.1.50");
    Box(IDC_NETMASK)->setText("255.0.0.0");
    Box(IDC_GATEWAY)->setText("127.0.0.1");
    EXPECT_EQ(PressModify(), std::nullopt) << "before any selection";

    ASSERT_TRUE(RunDiscovery());
    ASSERT_TRUE(Select("NV0800000101"));
    for (const char* typed : {"192.168.100.1001", "127.0.1.1 ", "+127.0.1.1", "127.0.1", ""}) {
        Box(IDC_LOCAL_IP)->setText(typed);
        EXPECT_EQ(PressModify(), std::nullopt) << '"' << typed << '"';
    }
    ASSERT_TRUE(Select("NV1600000102"));  // its own first DNS server is empty
    EXPECT_EQ(PressModify(), std::nullopt) << "empty DNS";
    EXPECT_EQ(ModifyRequests(), 0u);

    // The last selection's record stays through a new run.
    ASSERT_TRUE(Select("NV0800000101"));
    ASSERT_TRUE(RunDiscovery());
    EXPECT_EQ(dialog_->deviceList->GetNextSelectedItem(-1), -1);
    Box(IDC_LOCAL_IP)->setText("127.0.1.53");
    EXPECT_EQ(PressModify(), (Shown{"Notice", "Modify OK"}));
    EXPECT_EQ(ModifyRequests(), 1u);
    EXPECT_STREQ(DeviceNow("NV0800000101").eth0.ip, "127.0.1.53");
}

// The message texts as start-up leaves them: Config.xml with its defaults,
// replaced from language.xml, empty when neither file gives them.
TEST_F(ModifyWindowTest, MessageTextsComeFromConfigThenLanguage) {
    struct Case {
        const char* config;    // nullptr: no Config.xml
        const char* language;  // nullptr: no language.xml
        Shown expected;
    };
    const char* ownTexts =
        "<Tarnwick><Models/><MessageCaption>Config caption</MessageCaption>"
        "<MessageOKText>Config OK</MessageOKText><MessageErrorText>Config failed</MessageErrorText></Tarnwick>";
    const Case cases[] = {
        {ownTexts, nullptr, {"Config caption", "Config OK"}},
        {ownTexts, "<Tarnwick><MessageOKText>Language OK</MessageOKText></Tarnwick>", {"Config caption", "Language OK"}},
        {"<Tarnwick><Models/></Tarnwick>", nullptr, {"Notice", "Modify OK"}},
        // Neither file: an empty caption, shown as a blank title, and an empty text.
        {nullptr, nullptr, {" ", ""}},
    };
    StartFleet();
    int address = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.caption + " / " + c.expected.text);
        std::filesystem::remove("Config.xml");
        std::filesystem::remove("language.xml");
        if (c.config) WriteFile("Config.xml", c.config);
        if (c.language) WriteFile("language.xml", c.language);
        OpenOnFleet();
        ASSERT_TRUE(RunDiscovery());
        ASSERT_TRUE(Select("NV1600000102"));
        Box(IDC_LOCAL_IP)->setText(QStringLiteral("127.0.1.%1").arg(address++));
        EXPECT_EQ(PressModify(), c.expected);
        RequestClose();
        dialog_.reset();
    }
}

}  // namespace
