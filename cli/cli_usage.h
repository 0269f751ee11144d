// What tarnwick-cli prints for --help and --version.
#pragma once

#include <string>

// The usage text, options and exit codes.
std::string CliUsage();
// "tarnwick-cli 3.2.0.3" and a line end.
std::string CliVersion();
