#include "netsdk/callback_registry.h"

#include <mutex>

namespace netsdk {
namespace {
std::mutex g_mutex;
RegisteredCallback g_callback;
}  // namespace

void SetRegisteredCallback(RegisteredCallback value) {
    std::lock_guard lock(g_mutex);
    g_callback = value;
}

RegisteredCallback GetRegisteredCallback() {
    std::lock_guard lock(g_mutex);
    return g_callback;
}

}  // namespace netsdk
