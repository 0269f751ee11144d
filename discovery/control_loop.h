// The control loop: one thread for the dialog's life that serves the
// Discovery button's requests away from the UI thread.
#pragma once

class CTarnwickDlg;

// Polls the dialog's request flags every 40 ms until loopRunning is cleared.
unsigned ControlLoopThread(CTarnwickDlg* dialog);

// The period of the control loop's poll.
inline constexpr int kControlLoopPeriodMs = 40;
