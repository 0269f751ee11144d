#include "app/tarnwick_app.h"
#include "platform/qt/qt_backend.h"

int main(int argc, char** argv) { return platform::qt::RunApplication(argc, argv, theApp); }
