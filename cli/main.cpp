// tarnwick-cli: Tarnwick's discovery and Modify on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_usage.h"
#include "cli/discover_command.h"
#include "cli/exit_codes.h"
#include "cli/modify_command.h"

namespace {

int Run(const std::vector<std::string>& args) {
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        std::fprintf(stderr, "tarnwick-cli: %s\nTry 'tarnwick-cli --help'.\n", error.c_str());
        return kExitError;
    }
    switch (options.command) {
        case CliCommand::kHelp: std::fputs(CliUsage().c_str(), stdout); return kExitOk;
        case CliCommand::kVersion: std::fputs(CliVersion().c_str(), stdout); return kExitOk;
        case CliCommand::kDiscover: return RunDiscover(options.discover);
        case CliCommand::kModify: return RunModify(options.modify);
    }
    return kExitError;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (...) {
        std::fprintf(stderr, "tarnwick-cli: out of memory\n");
        return kExitError;
    }
}
