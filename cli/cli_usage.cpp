#include "cli/cli_usage.h"

#include "res/version.h"

std::string CliUsage() {
    return R"(Usage: tarnwick-cli discover [--class LIST] [--format table|json|csv] [--no-camera-models]
       tarnwick-cli modify --sn SN --mac MAC --ip ADDRESS --mask NETMASK --gw GATEWAY
       tarnwick-cli --help | --version

Finds the video-surveillance devices on the network through the device SDK,
as Tarnwick's Discovery does, and changes a device's wired address, as its
Modify does. The SDK reads its settings (targets, credentials, timeouts) from
the file named by TARNWICK_NETSDK_SETTINGS.

discover        Lists every answering device of the classes in LIST (comma-
                separated NVR, DVR, IPC, DEC; all four by default) with the
                window's ten columns. Cameras are logged into to read their
                sensor model (three attempts, a second apart); the Model
                column shows the display name from Config.xml in the current
                directory, or the device's own model.
  --format      table (default), json (an array of objects keyed by the
                column headings) or csv (RFC 4180, with a header line).
  --no-camera-models
                Logs into no camera; cameras have an empty Model column.

modify          Discovers the device whose serial number is SN and whose wired
                MAC is MAC (aa:bb:cc:dd:ee:ff), checks the new address,
                netmask and gateway as the window does (dotted quads of at
                most 15 characters, parts up to 255; the device's own DNS
                servers too) and sends the change.

Exit codes:
  0  discover: devices listed; modify: the device confirmed the change
  1  discover: no device answered; modify: no device with that SN and MAC
  2  bad command line, unreadable Config.xml, or the SDK failed
  3  modify: an address failed the checks; nothing was sent
  4  modify: the device did not confirm the change (refused, wrong
     password, or no answer within modify_timeout_ms)

Messages go to stderr; passwords are never printed.
)";
}

std::string CliVersion() { return std::string("tarnwick-cli ") + kTarnwickVersion + "\n"; }
