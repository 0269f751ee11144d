#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "platform/codepage.h"
#include "res/list_columns.h"
#include "res/resources.h"
#include "tests/app/dialog_fixture.h"
#include "tests/app/screenshot.h"

using namespace platform;

namespace {

class LanguageFileTest : public testing_support::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "samples" / "language.xml",
                                   "language.xml");
    }
    void TearDown() override {
        DialogTest::TearDown();
        SetAnsiCodePage("");
    }
    QString Heading(int column) {
        return qt::TableViewOf(dialog_->deviceList)->model()->headerData(column, Qt::Horizontal).toString();
    }
    QString Caption(int id) {
        if (auto* button = qobject_cast<QPushButton*>(Control(id))) return button->text();
        return qobject_cast<QLabel*>(Control(id))->text();
    }
};

TEST_F(LanguageFileTest, TitleHeadingsAndCaptionsAreShownInACodePageThatHasThem) {
    SetAnsiCodePage("WINDOWS-1251");
    InstallIconFile();
    CTarnwickDlg& dlg = Open();
    EXPECT_EQ(Widget()->windowTitle(), QString::fromUtf8("Tarnwick V3.2.0.3, сборка от 20160229"));
    EXPECT_EQ(Heading(0), QString::fromUtf8("Серийный номер"));
    EXPECT_EQ(Heading(9), QString::fromUtf8("Версия"));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(qt::TableViewOf(dlg.deviceList)->columnWidth(i), kDeviceListColumns[static_cast<std::size_t>(i)].width);
    EXPECT_EQ(Caption(IDC_DISCOVERY), QString::fromUtf8("Поиск"));
    EXPECT_EQ(Caption(IDC_LABEL_LOCAL_IP), QString::fromUtf8("IP-адрес"));
    EXPECT_EQ(Caption(IDC_LABEL_GATEWAY), QString::fromUtf8("Шлюз"));
    EXPECT_EQ(Caption(IDC_MODIFY), QString::fromUtf8("Изменить"));
    // The texts are held in the code page: one byte per Cyrillic letter.
    EXPECT_EQ(dlg.UiTexts.entries[14], "\xC8\xE7\xEC\xE5\xED\xE8\xF2\xFC");
    EXPECT_EQ(dlg.UiTexts.entries[kUiTextModifyOk].size(), std::string("Настройки изменены").size() / 2 + 1);

    const std::filesystem::path dir = TARNWICK_SCREENSHOT_DIR;
    EXPECT_TRUE(testing_support::SaveWindowPicture(Widget(), dir / "main-dialog-russian.png"));
}

TEST_F(LanguageFileTest, ACodePageWithoutTheLettersShowsDefaultCharacters) {
    SetAnsiCodePage("WINDOWS-1252");
    Open();
    EXPECT_EQ(Caption(IDC_MODIFY), "????????");
    EXPECT_EQ(Heading(2), "MAC-?????");
    EXPECT_EQ(Widget()->windowTitle(), "Tarnwick V3.2.0.3, ?????? ?? 20160229");
}

TEST_F(LanguageFileTest, AnEmptyLanguageFileEmptiesTitleHeadingsAndCaptions) {
    WriteFile("language.xml", "<Tarnwick/>");
    CTarnwickDlg& dlg = Open();
    EXPECT_EQ(dlg.GetWindowText(), "");
    // Shown as a blank: the window system would put the program's name in
    // place of an empty title.
    EXPECT_EQ(Widget()->windowTitle(), " ");
    ASSERT_EQ(dlg.deviceList->ColumnCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Heading(i), "");
        EXPECT_EQ(qt::TableViewOf(dlg.deviceList)->columnWidth(i), kDeviceListColumns[static_cast<std::size_t>(i)].width);
    }
    for (int id : {IDC_DISCOVERY, IDC_LABEL_LOCAL_IP, IDC_LABEL_NETMASK, IDC_LABEL_GATEWAY, IDC_MODIFY})
        EXPECT_EQ(Caption(id), "") << id;
}

}  // namespace
