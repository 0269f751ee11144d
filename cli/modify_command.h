// tarnwick-cli modify: the window's Modify for one device named by serial
// number and MAC.
#pragma once

#include "cli/cli_options.h"

// Runs the command; returns the exit code.
int RunModify(const ModifyOptions& options);
