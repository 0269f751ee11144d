// Dialog templates 100 (About box) and 102 (main dialog), in dialog units.
#include <array>

#include "platform/window_messages.h"
#include "res/resources.h"

using namespace platform;

namespace {

constexpr std::uint32_t kDialogStyle =
    DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr std::uint32_t kEditStyle = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr std::uint32_t kCheckStyle = BS_AUTOCHECKBOX | WS_TABSTOP;

constexpr std::array kMainControls = {
    ControlTemplate{IDC_DEVICE_LIST, ControlKind::ListView, "", 7, 7, 707, 243,
                    LVS_REPORT | WS_BORDER | WS_TABSTOP},
    ControlTemplate{IDC_DISCOVERY, ControlKind::PushButton, "Discovery", 549, 257, 50, 14,
                    BS_PUSHBUTTON | WS_TABSTOP},
    ControlTemplate{kStaticId, ControlKind::GroupBox, "", 7, 250, 707, 49, BS_GROUPBOX},
    ControlTemplate{IDC_LABEL_LOCAL_IP, ControlKind::Label, "Local IP Address", 14, 283, 58, 8,
                    SS_LEFT},
    ControlTemplate{IDC_LOCAL_IP, ControlKind::Edit, "", 74, 277, 98, 14, kEditStyle},
    ControlTemplate{IDC_LABEL_NETMASK, ControlKind::Label, "NetMask Address", 185, 283, 58, 8,
                    SS_LEFT},
    ControlTemplate{IDC_LABEL_GATEWAY, ControlKind::Label, "Gateway Address", 362, 283, 58, 8,
                    SS_LEFT},
    ControlTemplate{IDC_NETMASK, ControlKind::Edit, "", 252, 277, 98, 14, kEditStyle},
    ControlTemplate{IDC_GATEWAY, ControlKind::Edit, "", 430, 277, 98, 14, kEditStyle},
    ControlTemplate{IDC_MODIFY, ControlKind::PushButton, "Modify", 549, 277, 50, 14,
                    BS_PUSHBUTTON | WS_TABSTOP},
    ControlTemplate{IDC_TYPE_DVR, ControlKind::CheckBox, "DVR", 14, 257, 29, 10, kCheckStyle},
    ControlTemplate{IDC_TYPE_IPC, ControlKind::CheckBox, "IPC", 87, 257, 27, 10, kCheckStyle},
    ControlTemplate{IDC_TYPE_DEC, ControlKind::CheckBox, "DEC", 158, 257, 29, 10, kCheckStyle},
    ControlTemplate{IDC_TYPE_NVR, ControlKind::CheckBox, "NVR", 231, 257, 29, 10, kCheckStyle},
    // In the free part of the group box, between the class boxes and the
    // Discovery button; empty, so unseen, while no run is in progress.
    ControlTemplate{IDC_RUN_PROGRESS, ControlKind::Label, "", 272, 258, 268, 8, SS_LEFT | SS_NOPREFIX},
};

constexpr std::array kAboutControls = {
    ControlTemplate{kStaticId, ControlKind::Icon, "", 14, 14, 20, 20, SS_ICON, IDR_MAINFRAME},
    ControlTemplate{kStaticId, ControlKind::Label, "Tarnwick, Version 3.2.0.3", 40, 14, 123, 8,
                    SS_LEFT | SS_NOPREFIX},
    ControlTemplate{IDOK, ControlKind::PushButton, "OK", 113, 41, 50, 14,
                    BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

constexpr DialogTemplate kMainDialog{IDD_TARNWICK_DIALOG,
                                     "Tarnwick V3.2.0.3 Built at 20160229",
                                     721,
                                     304,
                                     kDialogStyle | WS_VISIBLE,
                                     WS_EX_APPWINDOW,
                                     "MS Shell Dlg",
                                     8,
                                     kMainControls};

constexpr DialogTemplate kAboutBox{IDD_ABOUTBOX,   "About Tarnwick", 170, 62, kDialogStyle, 0,
                                   "MS Shell Dlg", 8,                kAboutControls};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
    case IDD_TARNWICK_DIALOG:
        return &kMainDialog;
    case IDD_ABOUTBOX:
        return &kAboutBox;
    default:
        return nullptr;
    }
}

const char* FindStringResource(int id) {
    switch (id) {
    case IDS_ABOUTBOX:
        return "&About Tarnwick...";
    default:
        return nullptr;
    }
}
