#include <cstdio>

#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"
#include "platform/ComPorts.h"
#include "res/Resource.h"

namespace tolvane {

namespace {

// Texts of the connect sequence; the leading blanks belong to them.
constexpr const char* kUnableToOpen = "Unable to Open Com port";
constexpr const char* kNoConnection = " No Connection";
constexpr const char* kConnected = " Connected";
constexpr const char* kGoodResponse = "Good Response";
constexpr const char* kNoResponse = "No Response";
constexpr const char* kBadResponse = "Bad Response";
constexpr const char* kUnrecognised = "Unrecognised Unit";
constexpr const char* kIncorrectHardware = "Incorrect Hardware";
constexpr const char* kMoreThanOne = "More than One device Found.\nConnect to a Single device.";
constexpr const char* kLoadNow = "Load Now";
constexpr const char* kConnectCaption = "CONNECT";

}  // namespace

void LoaderDlg::UpdatePortToolTips() {
    constexpr int kPorts = 8;
    for (int i = 0; i < kPorts; ++i) {
        m_wnd.SetListItemToolTip(res::IDC_PORT, i, DescribeComPort(i + 1));
    }
    const int sel = m_cbPort.GetCurSel();
    m_wnd.SetItemToolTip(res::IDC_PORT,
                         sel >= 0 ? DescribeComPort(sel + 1) : "No port is selected.");
}

void LoaderDlg::ConnectToUnit() {
    m_bConnected = 0;
    UpdatePortToolTips();
    m_wnd.SetItemText(res::IDC_FIRMWARE, "");
    m_wnd.SetItemText(res::IDC_VERSION, "");
    m_wnd.SetItemText(res::IDC_UNIT, "");

    if (OpenPort() == 1) {
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, kUnableToOpen);
        m_wnd.SetItemToolTip(res::IDC_MAIN_STATUS,
                             ExplainOpenFailure(m_hCom.ErrorNumber(), m_hCom.DevicePath(),
                                                m_cbPort.GetCurSel() + 1));
        m_wnd.SetItemText(res::IDC_STATUS, kNoConnection);
        m_btnConnect.EnableWindow(true);
        return;
    }

    m_wnd.SetItemToolTip(res::IDC_MAIN_STATUS, "");
    m_nConnectResult = IdentifyUnit();

    const char* outcome = kNoResponse;
    switch (m_nConnectResult) {
        case -1:
            outcome = kBadResponse;
            break;
        case 2:
            outcome = kUnrecognised;
            break;
        case 3:
            outcome = kIncorrectHardware;
            break;
        case -2:
            m_wnd.MessageBox(kMoreThanOne, MsgButtons::Ok);
            outcome = kBadResponse;
            break;
        default:
            break;
    }

    if (m_nConnectResult == 1) {
        m_wnd.SetItemText(res::IDC_UNIT, GetUnitName(m_nModel));
        m_wnd.SetItemText(res::IDC_STATUS, kConnected);
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, kGoodResponse);
        char text[64];
        std::snprintf(text, sizeof text, " %i", m_nUnitFirmware);
        m_wnd.SetItemText(res::IDC_FIRMWARE, text);
        // The version text may hold zero bytes; shown, it ends at the first.
        std::snprintf(text, sizeof text, " %s / %i", m_strUnitVersion.c_str(), m_nUnitVersion);
        m_wnd.SetItemText(res::IDC_VERSION, text);
        m_bConnected = 1;
        return;
    }

    m_wnd.SetItemText(res::IDC_MAIN_STATUS, outcome);
    m_wnd.SetItemText(res::IDC_STATUS, kNoConnection);
    m_hCom.Close();
    m_nMsPerByte = 0;
    m_btnConnect.EnableWindow(true);
}

void LoaderDlg::UpdateControls() {
    if (m_bConnected) {
        m_btnConnect.SetWindowText(kLoadNow);
        m_btnBrowse.EnableWindow(true);
        CheckImageFile();
        m_btnConnect.EnableWindow(m_bFileValid != 0);
    } else {
        m_btnBrowse.EnableWindow(false);
        m_btnConnect.SetWindowText(kConnectCaption);
        m_btnConnect.EnableWindow(true);
    }
}

void LoaderDlg::OnPortSettingsChanged() {
    ConnectToUnit();
    UpdateControls();
}

}  // namespace tolvane
