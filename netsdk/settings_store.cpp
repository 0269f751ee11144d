#include "netsdk/settings_store.h"

#include <cstdio>
#include <mutex>

namespace netsdk {
namespace {

std::mutex g_mutex;
bool g_loaded = false;
Settings g_settings;

void LoadLocked() {
    std::string error;
    g_settings = LoadSettingsFromEnvironment(error);
    g_loaded = true;
    if (!error.empty()) {
        std::fprintf(stderr, "netsdk: settings %s; discovery sends no probes\n", error.c_str());
    }
}

}  // namespace

void LoadSettings() {
    std::lock_guard lock(g_mutex);
    LoadLocked();
}

void ApplySettings(const Settings& settings) {
    std::lock_guard lock(g_mutex);
    g_settings = settings;
    g_loaded = true;
}

Settings CurrentSettings() {
    std::lock_guard lock(g_mutex);
    if (!g_loaded) LoadLocked();
    return g_settings;
}

}  // namespace netsdk
