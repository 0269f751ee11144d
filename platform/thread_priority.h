// Thread priorities, for work that should never take the processor from
// the UI thread.
#pragma once

namespace platform {

// Lowers the calling thread's scheduling priority below that of the UI
// thread. Best effort: nothing happens where it cannot be done.
void LowerCurrentThreadPriority();

}  // namespace platform
