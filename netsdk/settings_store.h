// The settings in force. Q9_NET_DVR_Init loads them from the environment;
// tests and benchmarks may apply their own. Every operation takes a copy
// when it starts, so a change never affects one already running.
#pragma once

#include "netsdk/settings.h"

namespace netsdk {

// Loads from TARNWICK_NETSDK_SETTINGS; a problem is reported once on stderr.
void LoadSettings();
void ApplySettings(const Settings& settings);
// Loads from the environment on first use if nothing was loaded yet.
Settings CurrentSettings();

}  // namespace netsdk
