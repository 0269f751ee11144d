// Message numbers, notification codes, command ids and window styles that the
// dialogs and their message maps refer to. The values are the classic ones,
// so templates and handlers read the same on every backend.
#pragma once

#include <cstdint>

namespace platform {

// Messages.
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_NOTIFY = 0x004E;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;
inline constexpr unsigned WM_USER = 0x0400;

// Notification codes.
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr unsigned LVN_ITEMCHANGED = 0xFFFFFF9Bu;  // LVN_FIRST - 1

// Command ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr unsigned SC_CLOSE = 0xF060;

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;
inline constexpr std::uint32_t DS_MODALFRAME = 0x00000080u;
inline constexpr std::uint32_t DS_SETFONT = 0x00000040u;
inline constexpr std::uint32_t DS_SHELLFONT = 0x00000048u;

// Button styles.
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0000u;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001u;
inline constexpr std::uint32_t BS_AUTOCHECKBOX = 0x0003u;
inline constexpr std::uint32_t BS_GROUPBOX = 0x0007u;

// Static and edit styles.
inline constexpr std::uint32_t SS_LEFT = 0x0000u;
inline constexpr std::uint32_t SS_ICON = 0x0003u;
inline constexpr std::uint32_t SS_NOPREFIX = 0x0080u;
inline constexpr std::uint32_t ES_LEFT = 0x0000u;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080u;

// List-view styles, extended styles and column format.
inline constexpr std::uint32_t LVS_REPORT = 0x0001u;
inline constexpr std::uint32_t LVS_SINGLESEL = 0x0004u;
inline constexpr std::uint32_t LVS_SHOWSELALWAYS = 0x0008u;
inline constexpr std::uint32_t LVS_EX_GRIDLINES = 0x00000001u;
inline constexpr std::uint32_t LVS_EX_FULLROWSELECT = 0x00000020u;
inline constexpr int LVCFMT_LEFT = 0;

// Message box types.
inline constexpr unsigned MB_OK = 0x0000u;

// Check-box states.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;

// Colours are laid out 0x00BBGGRR.
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned RedOf(ColorRef c) { return c & 0xFFu; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFFu; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFFu; }

}  // namespace platform
