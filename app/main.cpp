#include "app/command_line.h"
#include "app/tarnwick_app.h"
#include "platform/qt/qt_backend.h"

int main(int argc, char** argv) {
    // Before the toolkit starts: these need no display.
    if (const std::optional<int> code = AnswerInfoOption(argc, argv)) return *code;
    return platform::qt::RunApplication(argc, argv, theApp);
}
