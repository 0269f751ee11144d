#include "discovery/control_loop.h"

#include <chrono>
#include <thread>

#include "app/tarnwick_dlg.h"

unsigned ControlLoopThread(CTarnwickDlg* dialog) {
    if (dialog->loopRunning.load() == 0) return 0;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(kControlLoopPeriodMs));
    } while (dialog->loopRunning.load() != 0);
    return 0;
}
