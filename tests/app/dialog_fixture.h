// A main dialog on screen (off screen), in a fresh current directory.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "app/tarnwick_dlg.h"
#include "platform/qt/qt_backend.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class DialogTest : public TempDirTest {
protected:
    // Copies the shipped icon file to where the program looks for it.
    static void InstallIconFile() {
        std::filesystem::create_directories("res");
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "res" / "Tarnwick.ico",
                                   "res/Tarnwick.ico",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Creates and shows the dialog, as its modal run would.
    CTarnwickDlg& Open() {
        dialog_ = std::make_unique<CTarnwickDlg>();
        EXPECT_TRUE(dialog_->Create());
        QWidget* w = Widget();
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        return *dialog_;
    }

    QWidget* Widget() const { return platform::qt::WidgetOf(*dialog_); }
    QWidget* Control(int id) const { return platform::qt::ControlOf(*dialog_, id); }

    // Asks the dialog to close, as the title bar's close button does.
    void RequestClose() { dialog_->Dispatch(platform::WM_CLOSE, 0, 0); }

    void TearDown() override {
        if (dialog_) {
            if (dialog_->Window() && dialog_->discovery.completionSent.load()) RequestClose();
            dialog_.reset();
        }
        TempDirTest::TearDown();
    }

    std::unique_ptr<CTarnwickDlg> dialog_;
};

}  // namespace testing_support
