// Entry of the window tests: Qt off screen, with the Qt backend installed.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/qt/qt_backend.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::qt::QtBackend backend;
    platform::SetBackend(&backend);
    const int result = RUN_ALL_TESTS();
    platform::SetBackend(nullptr);
    return result;
}
