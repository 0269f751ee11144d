// Exit codes of tarnwick-cli. `--help` lists them.
#pragma once

inline constexpr int kExitOk = 0;            // devices listed; the modification was confirmed
inline constexpr int kExitNoDevice = 1;      // no device answered (discover), or not the one named (modify)
inline constexpr int kExitError = 2;         // bad command line, unreadable Config.xml, SDK failure
inline constexpr int kExitRefused = 3;       // modify: an address failed the checks; nothing was sent
inline constexpr int kExitModifyFailed = 4;  // modify: the device did not confirm the change
