// The list's own actions, end to end on the sample fleet: the copy key, the
// row menu's browser entry and the CSV export. The backend records what
// would reach the desktop (clipboard, browser, file chooser).
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTableView>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "platform/qt/qt_backend.h"
#include "tests/app/fleet_dialog_fixture.h"
#include "tests/app/screenshot.h"

using namespace platform;

namespace {

class RecordingBackend : public qt::QtBackend {
public:
    void SetClipboardText(std::string_view text) override { clipboard.assign(text); }
    bool OpenUrl(std::string_view url) override {
        urls.emplace_back(url);
        return true;
    }
    std::string AskSaveFileName(Dialog&, std::string_view, std::string_view, std::string_view) override {
        return saveAs;
    }
    std::string clipboard;
    std::vector<std::string> urls;
    std::string saveAs;
};

class ListActionsTest : public testing_support::FleetDialogTest {
protected:
    void SetUp() override {
        FleetDialogTest::SetUp();
        previous_ = GetBackend();
        SetBackend(&recording_);
    }
    void TearDown() override {
        FleetDialogTest::TearDown();
        SetBackend(previous_);
    }
    QTableView* View() { return qt::TableViewOf(dialog_->deviceList); }
    // Right-clicks `row` and chooses the menu entry whose text starts with
    // `entry`; saves a picture of the menu when `picture` is given.
    bool ChooseFromRowMenu(int row, const QString& entry, const char* picture = nullptr) {
        bool chosen = false;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            if (picture != nullptr) {
                testing_support::SaveWindowPicture(menu, std::filesystem::path(TARNWICK_SCREENSHOT_DIR) / picture);
            }
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith(entry) && action->isEnabled()) {
                    chosen = true;
                    action->trigger();
                }
            }
            menu->close();
        });
        const QRect cell = View()->visualRect(View()->model()->index(row, 0));
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), View()->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(View()->viewport(), &event);
        return chosen;
    }

    RecordingBackend recording_;
    Backend* previous_ = nullptr;
};

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find(end, at);
        lines.push_back(text.substr(at, next - at));
        at = next == std::string::npos ? text.size() : next + end.size();
    }
    return lines;
}

TEST_F(ListActionsTest, CopyOpenAndExportUseTheShownColumnsAndNoPassword) {
    StartFleet();
    CTarnwickDlg& dlg = OpenOnFleet();
    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC}) Click(id);
    ASSERT_TRUE(RunDiscovery());
    ASSERT_EQ(dlg.deviceList->GetItemCount(), 11);

    // Ctrl+C with two rows selected: their ten columns, tab-separated.
    const int camera = RowOf("IC2A00000401"), recorder = RowOf("NV0800000101");
    dlg.deviceList->SetItemSelected(camera, true);
    dlg.deviceList->SetItemSelected(recorder, true);
    View()->setFocus();
    QTest::keySequence(View(), QKeySequence::Copy);
    const std::vector<std::string> copied = Lines(recording_.clipboard, "\n");
    ASSERT_EQ(copied.size(), 2u) << recording_.clipboard;
    for (const std::string& line : copied) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9) << line;
        const int row = RowOf(line.substr(0, line.find('\t')));
        ASSERT_GE(row, 0) << line;
        EXPECT_EQ(line.substr(line.rfind('\t') + 1), Text(row, 9));
    }
    EXPECT_EQ(recording_.clipboard.find("tarnwick"), std::string::npos);

    // The row menu selects the row under the mouse and opens its web page.
    ASSERT_TRUE(ChooseFromRowMenu(camera, "&Open", "device-list-row-menu.png"));
    ASSERT_EQ(recording_.urls.size(), 1u);
    EXPECT_EQ(recording_.urls[0], "http://" + Text(camera, 3) + ":" + Text(camera, 7) + "/");

    // The export writes the headings and every row; a cancelled chooser
    // writes nothing.
    const std::string csv = (std::filesystem::path(dir()) / "devices.csv").string();
    ASSERT_TRUE(ChooseFromRowMenu(recorder, "&Export"));
    EXPECT_FALSE(std::filesystem::exists(csv));
    recording_.saveAs = csv;
    ASSERT_TRUE(ChooseFromRowMenu(recorder, "&Export"));
    std::ifstream in(csv, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::vector<std::string> lines = Lines(content.str(), "\r\n");
    ASSERT_GE(lines.size(), 12u) << content.str();
    EXPECT_EQ(lines[0].substr(0, 9), "SN,Model,");
    for (int row = 0; row < 11; ++row) EXPECT_EQ(lines[static_cast<std::size_t>(row) + 1].substr(0, 12), Text(row, 0));
    EXPECT_EQ(content.str().find("tarnwick"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(csv).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::none);
}

}  // namespace
