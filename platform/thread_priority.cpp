#include "platform/thread_priority.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform {

void LowerCurrentThreadPriority() {
#if defined(__linux__)
    // On Linux the nice value belongs to the thread, named by its id.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread, 10);
#endif
}

}  // namespace platform
