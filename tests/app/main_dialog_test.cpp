#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>

#include "platform/qt/dialog_units.h"
#include "res/list_columns.h"
#include "res/resources.h"
#include "tests/app/dialog_fixture.h"
#include "tests/app/screenshot.h"

using namespace platform;
using testing_support::DialogTest;

namespace {

constexpr int kAllControls[] = {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC, IDC_TYPE_NVR, IDC_DISCOVERY,
                                IDC_LOCAL_IP, IDC_NETMASK,  IDC_GATEWAY,  IDC_MODIFY,   IDC_DEVICE_LIST};

QTableView* Table(CTarnwickDlg& dlg) { return qt::TableViewOf(dlg.deviceList); }

bool Ticked(QWidget* box) { return qobject_cast<QCheckBox*>(box)->isChecked(); }

QWidget* AboutBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QStringLiteral("dialog%1").arg(IDD_ABOUTBOX)) return w;
    return nullptr;
}

TEST_F(DialogTest, StartsWithTemplateCaptionDefaultColumnsAndColours) {
    CTarnwickDlg& dlg = Open();
    EXPECT_TRUE(dlg.IsReady());
    EXPECT_EQ(Widget()->windowTitle(), "Tarnwick V3.2.0.3 Built at 20160229");

    ListView* list = dlg.deviceList;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->ColumnCount(), 10);
    QHeaderView* header = Table(dlg)->horizontalHeader();
    for (int i = 0; i < 10; ++i) {
        const ListColumn& expected = kDeviceListColumns[static_cast<std::size_t>(i)];
        EXPECT_EQ(header->model()->headerData(i, Qt::Horizontal).toString(), expected.heading);
        EXPECT_EQ(header->sectionSize(i), expected.width) << "column " << i;
    }
    EXPECT_EQ(list->ExtendedStyle(), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(Table(dlg)->showGrid());
    EXPECT_EQ(Table(dlg)->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(Table(dlg)->selectionMode(), QAbstractItemView::ExtendedSelection);

    const QPalette palette = Table(dlg)->palette();
    EXPECT_EQ(palette.color(QPalette::Base), QColor(247, 247, 255));
    EXPECT_EQ(palette.color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(list->TextBkColor(), 0x00FFF7F7u);

    // A row shows blue text on the pale background.
    list->InsertItem(0, "SN");
    const QModelIndex cell = Table(dlg)->model()->index(0, 0);
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>(), QColor(247, 247, 255));

    EXPECT_FALSE(Ticked(Control(IDC_TYPE_DVR)));
    EXPECT_FALSE(Ticked(Control(IDC_TYPE_IPC)));
    EXPECT_FALSE(Ticked(Control(IDC_TYPE_DEC)));
    EXPECT_TRUE(Ticked(Control(IDC_TYPE_NVR)));
    for (int id : kAllControls) EXPECT_TRUE(Control(id)->isEnabled()) << "control " << id;
}

TEST_F(DialogTest, StartUpSetsSharedStateAndPublishesTheDialogLast) {
    CTarnwickDlg& dlg = Open();
    EXPECT_EQ(mainDialog.load(), &dlg);
    EXPECT_TRUE(dlg.discovery.controlThread.joinable());
    EXPECT_FALSE(dlg.discovery.discoveryThread.joinable());
    EXPECT_EQ(dlg.discovery.loopRunning.load(), 1);
    EXPECT_TRUE(dlg.DiscoveryLog.IsAbsent());
    EXPECT_TRUE(dlg.discovery.completionSent.load());
    const DeviceRecord zero{};
    EXPECT_EQ(std::memcmp(&dlg.modifyRecord, &zero, sizeof zero), 0);
}

TEST_F(DialogTest, ControlsAreLaidOutInDialogUnits) {
    Open();
    const qt::DialogUnits units(Widget()->font());
    EXPECT_EQ(Widget()->size(), QSize(units.X(721), units.Y(304)));
    for (const ControlTemplate& c : FindDialogTemplate(IDD_TARNWICK_DIALOG)->controls) {
        if (c.id == kStaticId) continue;
        EXPECT_EQ(Control(c.id)->geometry(), units.Rect(c.x, c.y, c.width, c.height)) << "control " << c.id;
    }
    EXPECT_EQ(qobject_cast<QPushButton*>(Control(IDC_DISCOVERY))->text(), "Discovery");
    EXPECT_FALSE(qobject_cast<QPushButton*>(Control(IDC_DISCOVERY))->isDefault());
    EXPECT_EQ(qobject_cast<QLabel*>(Control(IDC_LABEL_GATEWAY))->text(), "Gateway Address");
}

TEST_F(DialogTest, TheListModelIsConsistent) {
    CTarnwickDlg& dlg = Open();
    QAbstractItemModelTester tester(Table(dlg)->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ListView* list = dlg.deviceList;
    for (int i = 0; i < 5; ++i) {
        list->InsertItem(i, std::to_string(i));
        list->SetItemText(i, 9, "V1.0 build 2016-02-29");
    }
    list->SetItemSelected(3, true);
    EXPECT_EQ(list->GetNextSelectedItem(-1), 3);
    EXPECT_EQ(list->GetNextSelectedItem(3), -1);
    char text[128];
    list->GetItemText(4, 9, text, sizeof text);
    EXPECT_STREQ(text, "V1.0 build 2016-02-29");
    list->DeleteAllItems();
    EXPECT_EQ(list->GetItemCount(), 0);
}

// The list paints its cells from prepared texts; what it shows must be what
// the toolkit's own delegate shows: colours, selection with and without
// focus, texts cut with an ellipsis.
TEST_F(DialogTest, TheListPaintsAsTheStandardDelegateWould) {
    CTarnwickDlg& dlg = Open();
    ListView* list = dlg.deviceList;
    for (int r = 0; r < 4; ++r) {
        list->InsertItem(r, std::to_string(r));
        for (int c = 0; c < 10; ++c) list->SetItemText(r, c, "Tarn Cam 2MP Bullet Lite " + std::to_string(r * 10 + c));
    }
    list->SetItemText(2, 3, "");
    QTableView* view = Table(dlg);
    view->setFocus();
    view->selectRow(1);
    const auto grabBoth = [&] {
        QTest::qWait(150);
        const QImage ours = view->viewport()->grab().toImage();
        QAbstractItemDelegate* own = view->itemDelegate();
        QStyledItemDelegate standard;
        view->setItemDelegate(&standard);
        const QImage theirs = view->viewport()->grab().toImage();
        view->setItemDelegate(own);
        return ours == theirs;
    };
    EXPECT_TRUE(grabBoth()) << "focused";
    Control(IDC_LOCAL_IP)->setFocus();
    EXPECT_TRUE(grabBoth()) << "unfocused";
}

TEST_F(DialogTest, IconsComeFromTheIconFileAtBothSizes) {
    InstallIconFile();
    CTarnwickDlg& dlg = Open();
    const QIcon icon = Widget()->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_EQ(dlg.appIcon.Width(), 16);
}

TEST_F(DialogTest, WithoutTheIconFileTheWindowHasNoIcon) {
    CTarnwickDlg& dlg = Open();
    EXPECT_TRUE(dlg.appIcon.IsNull());
    EXPECT_TRUE(Widget()->windowIcon().availableSizes().isEmpty());
}

TEST_F(DialogTest, TheProgramIconIsBuiltIn) {
    const Icon icon = LoadIconResource(IDI_PROGRAM);
    ASSERT_FALSE(icon.IsNull());
    EXPECT_EQ(icon.Width(), 128);
    EXPECT_EQ(icon.Height(), 128);
}

TEST_F(DialogTest, SystemMenuEndsWithTheAboutEntry) {
    CTarnwickDlg& dlg = Open();
    SystemMenu* menu = dlg.GetSystemMenu();
    const int n = menu->ItemCount();
    ASSERT_GE(n, 2);
    EXPECT_EQ(menu->ItemId(n - 2), 0u);  // separator
    EXPECT_EQ(menu->ItemId(n - 1), IDM_ABOUTBOX);
    EXPECT_EQ(menu->ItemText(n - 1), "&About Tarnwick...");
}

TEST_F(DialogTest, AboutBoxOpensFromTheMenuAndItsOkButtonClosesIt) {
    Open();
    // Right-click on the dialog's background opens the system menu.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), Widget()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(Widget(), &event);
    QMenu* menu = nullptr;
    QTRY_VERIFY((menu = Widget()->findChild<QMenu*>(QStringLiteral("systemMenu"))) != nullptr);
    QAction* about = menu->actions().last();
    EXPECT_EQ(about->text(), "&About Tarnwick...");
    EXPECT_TRUE(menu->actions().at(menu->actions().size() - 2)->isSeparator());
    about->trigger();
    menu->close();

    QWidget* box = nullptr;
    QTRY_VERIFY((box = AboutBox()) != nullptr);
    EXPECT_EQ(box->windowTitle(), "About Tarnwick");
    auto* label = box->findChildren<QLabel*>().at(1);
    EXPECT_EQ(label->text(), "Tarnwick, Version 3.2.0.3");
    auto* ok = box->findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(AboutBox() == nullptr);
}

TEST_F(DialogTest, CommandIdsSixteenToThirtyOneOpenTheAboutBox) {
    CTarnwickDlg& dlg = Open();
    for (unsigned id = 16; id <= 31; ++id) {
        dlg.Dispatch(WM_SYSCOMMAND, 0, 0, id, 0);
        QWidget* box = nullptr;
        QTRY_VERIFY((box = AboutBox()) != nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(AboutBox() == nullptr);
    }
    // The box opens within the dispatch, so its absence is seen at once.
    dlg.Dispatch(WM_SYSCOMMAND, 0, 0, 32, 0);
    EXPECT_EQ(AboutBox(), nullptr);
    dlg.Dispatch(WM_SYSCOMMAND, 0, 0, 16, 0);
    EXPECT_NE(AboutBox(), nullptr);
    QTest::keyClick(AboutBox(), Qt::Key_Escape);
    QTRY_VERIFY(AboutBox() == nullptr);
}

TEST_F(DialogTest, CloseBeforeAnyRunStopsTheLoopAndEndsTheDialog) {
    CTarnwickDlg& dlg = Open();
    RequestClose();
    EXPECT_FALSE(Widget()->isVisible());
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
    EXPECT_EQ(dlg.discovery.loopRunning.load(), 0);
    EXPECT_EQ(mainDialog.load(), nullptr);
    EXPECT_TRUE(dlg.DiscoveryLog.IsAbsent());
    EXPECT_FALSE(std::filesystem::exists("Discovery.Xml"));
}

TEST_F(DialogTest, SystemMenuCloseGoesThroughOnClose) {
    CTarnwickDlg& dlg = Open();
    dlg.Dispatch(WM_SYSCOMMAND, 0, 0, SC_CLOSE, 0);
    EXPECT_FALSE(Widget()->isVisible());
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
}

TEST_F(DialogTest, CloseDuringARunIsRefusedWithoutStoppingTheLoop) {
    CTarnwickDlg& dlg = Open();
    dlg.discovery.completionSent = false;  // a run is in progress
    RequestClose();
    EXPECT_TRUE(Widget()->isVisible());
    // The loop still serves requests, so the run can end and Discovery works.
    EXPECT_EQ(dlg.discovery.loopRunning.load(), 1);
    EXPECT_TRUE(dlg.discovery.controlThread.joinable());
    QTest::keyClick(Widget(), Qt::Key_Escape);
    EXPECT_TRUE(Widget()->isVisible());

    dlg.discovery.completionSent = true;  // the run has ended
    RequestClose();
    EXPECT_FALSE(Widget()->isVisible());
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
}

TEST_F(DialogTest, EnterNeverEndsTheDialogAndEscapeClosesThroughOnClose) {
    CTarnwickDlg& dlg = Open();
    for (int id : {IDC_DEVICE_LIST, IDC_LOCAL_IP, IDC_TYPE_NVR}) {
        Control(id)->setFocus();
        QTest::keyClick(Control(id), Qt::Key_Return);
        QTest::keyClick(Control(id), Qt::Key_Enter);
        EXPECT_TRUE(Widget()->isVisible()) << "control " << id;
    }
    QTest::keyClick(Control(IDC_LOCAL_IP), Qt::Key_Escape);
    EXPECT_FALSE(Widget()->isVisible());
    // Escape went through OnClose: the threads are down.
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
    EXPECT_EQ(mainDialog.load(), nullptr);
}

TEST_F(DialogTest, EnableControlsTogglesEverythingButTheListAndLabels) {
    CTarnwickDlg& dlg = Open();
    dlg.EnableControls(false);
    for (int id : kAllControls) EXPECT_EQ(Control(id)->isEnabled(), id == IDC_DEVICE_LIST) << id;
    for (int id : {IDC_LABEL_LOCAL_IP, IDC_LABEL_NETMASK, IDC_LABEL_GATEWAY}) EXPECT_TRUE(Control(id)->isEnabled());
    dlg.EnableControls(true);
    for (int id : kAllControls) EXPECT_TRUE(Control(id)->isEnabled());
}

class HalfStartedTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        WriteFile("Config.xml", "<?xml version=\"1.0\"?>\n<Tarnwick/>\n");
    }
};

TEST_F(HalfStartedTest, ShowsTemplateCaptionsWithoutColumnsOrTicks) {
    CTarnwickDlg& dlg = Open();
    EXPECT_FALSE(dlg.IsReady());
    EXPECT_EQ(Widget()->windowTitle(), "Tarnwick V3.2.0.3 Built at 20160229");
    EXPECT_EQ(dlg.deviceList->ColumnCount(), 0);
    EXPECT_EQ(dlg.deviceList->ExtendedStyle(), 0u);
    EXPECT_FALSE(Table(dlg)->showGrid());
    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC, IDC_TYPE_NVR}) EXPECT_FALSE(Ticked(Control(id)));
    EXPECT_FALSE(dlg.discovery.controlThread.joinable());
    // Never published, and no dialog before it is left published either.
    EXPECT_EQ(mainDialog.load(), nullptr);
}

TEST_F(HalfStartedTest, ClosesCleanly) {
    Open();
    RequestClose();
    EXPECT_FALSE(Widget()->isVisible());
    EXPECT_EQ(mainDialog.load(), nullptr);
}

TEST_F(DialogTest, SavesScreenshotsOfTheDialogAndTheAboutBox) {
    InstallIconFile();
    CTarnwickDlg& dlg = Open();
    // A few rows, so that the picture shows the list's grid and colours.
    ListView* list = dlg.deviceList;
    const char* rows[][10] = {
        {"NV0120160229AAWR000001", "NVR Recorder 16", "00:1a:2b:3c:4d:5e", "127.0.1.10", "255.0.0.0",
         "127.0.0.1", "8000", "80", "554", "V3.2 build 2016-02-29"},
        {"IP0220151103CCWR000117", "", "00:1a:2b:3c:4d:6f", "127.0.1.11", "255.0.0.0", "127.0.0.1", "8000",
         "80", "554", "V5.3 build 2015-11-03"},
    };
    for (int r = 0; r < 2; ++r) {
        list->InsertItem(r, rows[r][0]);
        for (int c = 0; c < 10; ++c) list->SetItemText(r, c, rows[r][c]);
    }
    const std::filesystem::path dir = TARNWICK_SCREENSHOT_DIR;
    ASSERT_TRUE(testing_support::SaveWindowPicture(Widget(), dir / "main-dialog.png"));

    dlg.Dispatch(WM_SYSCOMMAND, 0, 0, IDM_ABOUTBOX, 0);
    QWidget* box = nullptr;
    QTRY_VERIFY((box = AboutBox()) != nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    ASSERT_TRUE(testing_support::SaveWindowPicture(box, dir / "about-box.png"));
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_VERIFY(AboutBox() == nullptr);
}

}  // namespace
