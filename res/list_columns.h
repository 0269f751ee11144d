// The device list's ten columns: built-in headings and widths in pixels.
#pragma once

#include <array>

struct ListColumn {
    const char* heading;
    int width;
};

inline constexpr int kDeviceListColumnCount = 10;

inline constexpr std::array<ListColumn, kDeviceListColumnCount> kDeviceListColumns = {{
    {"SN", 140},
    {"Model", 80},
    {"MAC", 120},
    {"LocalIP", 110},
    {"NetMask", 110},
    {"Gateway", 110},
    {"ControlPort", 80},
    {"HttpPort", 80},
    {"RtspPort", 80},
    {"Version", 120},
}};
