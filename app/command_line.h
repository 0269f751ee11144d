// The options tarnwick answers without opening its window, so that they
// work without a display.
#pragma once

#include <optional>

// For --help or --version among the arguments: prints the answer on stdout
// and returns the exit code. Otherwise nothing; every argument then goes to
// the window toolkit as before.
std::optional<int> AnswerInfoOption(int argc, char** argv);
