// Identities of the program's resources and controls.
#pragma once

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_TARNWICK_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;  // the About box's picture
inline constexpr int IDI_PROGRAM = 132;    // the program's 128 x 128 icon

inline constexpr unsigned IDM_ABOUTBOX = 0x0010;  // system-menu command

inline constexpr int IDC_DEVICE_LIST = 1000;
inline constexpr int IDC_DISCOVERY = 1001;
inline constexpr int IDC_LOCAL_IP = 1002;
inline constexpr int IDC_NETMASK = 1003;
inline constexpr int IDC_GATEWAY = 1004;
inline constexpr int IDC_MODIFY = 1007;
inline constexpr int IDC_TYPE_DVR = 1008;
inline constexpr int IDC_TYPE_IPC = 1009;
inline constexpr int IDC_TYPE_DEC = 1010;
inline constexpr int IDC_TYPE_NVR = 1011;
inline constexpr int IDC_LABEL_LOCAL_IP = 1013;
inline constexpr int IDC_LABEL_NETMASK = 1014;
inline constexpr int IDC_LABEL_GATEWAY = 1015;
// Ours, beside the system's controls: the run's progress in the group box.
inline constexpr int IDC_RUN_PROGRESS = 1100;
