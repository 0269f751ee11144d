#include "app/command_line.h"

#include <cstdio>
#include <string_view>

#include "res/version.h"

namespace {

constexpr char kUsage[] = R"(Usage: tarnwick [--help | --version]

Tarnwick lists the video-surveillance devices (NVR, DVR, IPC, DEC) on the
local network and changes a device's wired address, netmask and gateway.
It needs a display.

It works in its current directory: Config.xml (model-name catalogue),
language.xml (interface texts) and res/Tarnwick.ico are read from there if
present, and Discovery.Xml is written there during a discovery.
The device SDK reads its settings from the file named by the environment
variable TARNWICK_NETSDK_SETTINGS.

For scripts, tarnwick-cli lists devices and changes addresses without the
window (tarnwick-cli --help).
)";

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("tarnwick %s\n", kTarnwickVersion);
            return 0;
        }
    }
    return std::nullopt;
}
