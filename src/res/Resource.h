#pragma once

// Numbers of the program's resources: dialogs, controls, strings, pictures.
namespace tolvane::res {

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_LOADER = 102;
inline constexpr int IDD_LOADWHAT = 130;

// Strings.
inline constexpr int IDS_ABOUTBOX = 101;

// Pictures.
inline constexpr int IDB_PROGRAM = 133;
inline constexpr int IDB_PRESET = 134;
inline constexpr int IDB_BANNER = 135;
inline constexpr int IDI_APP = 142;

// Standard commands.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Controls of the main dialog (102).
inline constexpr int IDC_FILE = 1000;
inline constexpr int IDC_BROWSE = 1001;
inline constexpr int IDC_FILE_FIRM = 1002;
inline constexpr int IDC_FILE_VERSION = 1003;
inline constexpr int IDC_PORT = 1004;
inline constexpr int IDC_BAUD = 1005;
inline constexpr int IDC_STATUS = 1006;
inline constexpr int IDC_FIRMWARE = 1007;
inline constexpr int IDC_VERSION = 1008;
inline constexpr int IDC_CONNECT = 1009;
inline constexpr int IDC_PROGRESS = 1010;
inline constexpr int IDC_MAIN_STATUS = 1011;
inline constexpr int IDC_UNIT = 1012;
inline constexpr int IDC_BANNER = 1013;

// Controls of the "What to Load" dialog (130).
inline constexpr int IDC_LOAD_PROGRAM = 1014;
inline constexpr int IDC_LOAD_PRESET = 1015;

// Controls of the About box (100).
inline constexpr int IDC_ABOUT_VERSION = 1016;
inline constexpr int IDC_ABOUT_ICON = 1017;

// Timer and system-menu command of the main dialog.
inline constexpr int kStartTimer = 33;
inline constexpr unsigned kStartTimerMs = 200;
inline constexpr int IDM_ABOUTBOX = 16;

// Notifications passed with OnCommand.
inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;

}  // namespace tolvane::res
