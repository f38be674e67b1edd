#include "res/DialogTemplates.h"

#include "res/Resource.h"

namespace tolvane::res {

namespace {

// id, kind, template text, x, y, cx, cy (dialog units), style, picture
constexpr ControlTemplate kLoaderControls[] = {
    {IDC_FILE, ControlKind::Edit, "", 22, 27, 138, 14, kBorder | kAutoHScroll | kTabStop, 0},
    {IDC_BROWSE, ControlKind::PushButton, "...", 160, 27, 21, 14, kTabStop, 0},
    {IDC_FILE_FIRM, ControlKind::Static, "<File Firm>", 22, 46, 123, 12, kLeft | kSunken, 0},
    {IDC_FILE_VERSION, ControlKind::Static, "<File Version>", 22, 61, 123, 12, kLeft | kSunken, 0},
    {-1, ControlKind::GroupBox, "File to Load", 17, 14, 173, 67, 0, 0},
    {IDC_PORT, ControlKind::ComboList, "COM 1\nCOM 2\nCOM 3\nCOM 4\nCOM 5\nCOM 6\nCOM 7\nCOM 8", 22,
     96, 48, 86, kVScroll | kTabStop, 0},
    {IDC_BAUD, ControlKind::ComboList, "115200\n57600\n38400\n19200\n9600", 133, 96, 48, 71,
     kVScroll | kTabStop, 0},
    {-1, ControlKind::GroupBox, "Serial Port", 17, 84, 173, 32, 0, 0},
    {-1, ControlKind::Static, "Speed", 108, 98, 21, 8, kLeft, 0},
    {IDC_STATUS, ControlKind::Static, "<Status>", 121, 146, 60, 12, kCenter | kSunken, 0},
    {IDC_FIRMWARE, ControlKind::Static, "<Firmware>", 121, 163, 60, 12, kCenter | kSunken, 0},
    {IDC_VERSION, ControlKind::Static, "<Version>", 121, 180, 60, 12, kCenter | kSunken, 0},
    {-1, ControlKind::Static, "Status:", 85, 148, 33, 8, kRight, 0},
    {-1, ControlKind::Static, "Firmware:", 85, 165, 33, 8, kRight, 0},
    {-1, ControlKind::Static, "Version:", 85, 182, 33, 8, kRight, 0},
    {IDC_CONNECT, ControlKind::PushButton, "Connect", 27, 162, 50, 14, kTabStop, 0},
    {IDC_PROGRESS, ControlKind::Progress, "", 214, 105, 190, 10, kSmooth | kBorder, 0},
    {IDC_MAIN_STATUS, ControlKind::Static, "<Main Status>", 214, 134, 190, 24,
     kCenter | kSunken | kBorder, 0},
    {-1, ControlKind::GroupBox, "", 17, 119, 173, 78, 0, 0},
    {IDOK, ControlKind::PushButton, "Quit", 284, 171, 50, 14, kTabStop, 0},
    {-1, ControlKind::GroupBox, "", 202, 87, 214, 110, 0, 0},
    {IDC_BANNER, ControlKind::Picture, "", 202, 18, 214, 63, 0, 0},
    {-1, ControlKind::EtchedFrame, "", 6, 7, 422, 200, kSunken, 0},
    {-1, ControlKind::Static, "Unit:", 85, 131, 33, 8, kRight, 0},
    {IDC_UNIT, ControlKind::Static, "<Unit>", 121, 129, 60, 12, kCenter | kSunken, 0},
};

constexpr ControlTemplate kAboutControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Picture, "", 11, 17, 20, 20, kIcon, IDI_APP},
    {IDC_ABOUT_VERSION, ControlKind::Static, "Tolvane Version 1.1", 40, 10, 119, 8,
     kLeft | kNoPrefix, 0},
    {-1, ControlKind::Static, "Copyright (C) 2026 Brennic", 40, 25, 119, 8, kLeft, 0},
    {IDOK, ControlKind::PushButton, "OK", 178, 7, 50, 16, kDefault | kTabStop, 0},
};

constexpr ControlTemplate kLoadWhatControls[] = {
    {IDC_LOAD_PRESET, ControlKind::PushButton, "OK", 24, 91, 55, 35, kDefault | kBitmap | kTabStop,
     0},
    {IDC_LOAD_PROGRAM, ControlKind::PushButton, "", 24, 23, 55, 35,
     kBitmap | kTabStop | kTransparent, 0},
    {-1, ControlKind::EtchedFrame, "", 7, 7, 187, 64, kSunken | kClientEdge, 0},
    {-1, ControlKind::EtchedFrame, "", 7, 78, 187, 60, kSunken | kClientEdge, 0},
    {-1, ControlKind::Static, "Load New Program Version", 95, 36, 86, 8, kLeft, 0},
    {-1, ControlKind::Static, "Load New Preset File", 95, 105, 68, 8, kLeft, 0},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, "About Tolvane", 235, 55, "MS Shell Dlg", 8, false, kAboutControls},
    {IDD_LOADER, "OEM Tolvane", 435, 214, "MS Shell Dlg", 8, true, kLoaderControls},
    {IDD_LOADWHAT, "What to Load", 201, 145, "MS Shell Dlg", 8, false, kLoadWhatControls},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const auto& t : kTemplates) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

const char* LoadResString(int id) {
    if (id == IDS_ABOUTBOX) {
        return "&About Tolvane...";
    }
    return "";
}

}  // namespace tolvane::res
