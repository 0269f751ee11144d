// Runs a program of the build as a child, with its output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cli_testing {

struct ProgramRun {
    int exitCode = -1;  // -1: it did not end by itself in time, or did not start
    std::string out;
    std::string err;
};

// Runs `program` with `args` in the current directory. The environment is
// this process's, with the entries of `env` set (an empty value removes the
// variable). The child is killed after `timeoutSeconds`.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}, int timeoutSeconds = 60);

}  // namespace cli_testing
