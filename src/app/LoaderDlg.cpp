#include "app/LoaderDlg.h"

#include "app/AboutDlg.h"
#include "app/VersionInfo.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

namespace tolvane {

LoaderDlg::LoaderDlg(DialogWindow& wnd, SerialPort& port)
    : m_hCom(port), m_hIcon(res::IDI_APP), m_wnd(wnd) {}

LoaderDlg::~LoaderDlg() {
    // The port is left as it is: the process ends right after the dialog.
    m_file.Close();
}

void LoaderDlg::DoDataExchange() {
    m_cbBaud.Bind(m_wnd, res::IDC_BAUD);
    m_btnConnect.Bind(m_wnd, res::IDC_CONNECT);
    m_cbPort.Bind(m_wnd, res::IDC_PORT);
    m_editFile.Bind(m_wnd, res::IDC_FILE);
    m_progress.Bind(m_wnd, res::IDC_PROGRESS);
    m_picBanner.Bind(m_wnd, res::IDC_BANNER);
    m_btnBrowse.Bind(m_wnd, res::IDC_BROWSE);
}

bool LoaderDlg::OnInitDialog() {
    DoDataExchange();
    m_bType78 = 0;
    m_bType10 = 0;

    if (const std::string about = res::LoadResString(res::IDS_ABOUTBOX); !about.empty()) {
        m_wnd.AppendSystemMenu(res::IDM_ABOUTBOX, about);
    }
    m_wnd.SetIcon(m_hIcon);

    m_cbPort.SetCurSel(m_nPortSel);
    m_cbBaud.SetCurSel(m_nBaudSel);
    UpdatePortToolTips();

    m_wnd.SetTitle(std::string(kProgramTitle) + "  " + GetVersionInfoString("ProductVersion"));
    m_picBanner.SetBitmap(res::IDB_BANNER);

    InitModelCatalogue();

    if (m_bAutoLoad) {
        m_strFilePath = m_strCmdFile;
        m_strFileName = m_strCmdFile;
        // Only "/" separates folders here; a backslash is part of a name.
        if (const size_t slash = m_strCmdFile.rfind('/'); slash != std::string::npos) {
            m_strFileName = m_strCmdFile.substr(slash + 1);
        }
        m_editFile.SetWindowText(m_strFileName);
    }

    m_wnd.SetTimer(res::kStartTimer, res::kStartTimerMs);
    return true;
}

void LoaderDlg::OnCommand(int controlId, int notification) {
    if (notification == res::CBN_SELCHANGE &&
        (controlId == res::IDC_PORT || controlId == res::IDC_BAUD)) {
        OnPortSettingsChanged();
    } else if (notification == res::BN_CLICKED && controlId == res::IDC_BROWSE) {
        OnBrowse();
    } else if (notification == res::BN_CLICKED && controlId == res::IDC_CONNECT) {
        OnConnectLoad();
    } else if (notification == res::BN_CLICKED && controlId == res::IDOK) {
        OnOK();
    }
}

void LoaderDlg::OnTimer(int timerId) {
    if (timerId != res::kStartTimer) {
        return;
    }
    m_wnd.KillTimer(res::kStartTimer);
    if (m_bAutoLoad) {
        m_nLoadWhat = 0;
        OnConnectLoad();
    } else {
        ConnectToUnit();
        UpdateControls();
        if (m_bConnected) {
            OnBrowse();
        }
    }
}

void LoaderDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == res::IDM_ABOUTBOX) {
        m_wnd.RunAbout();
    }
}

void LoaderDlg::OnOK() {
    m_wnd.EndDialog(res::IDOK);
}

void LoaderDlg::OnCancel() {
    m_wnd.EndDialog(res::IDCANCEL);
}

std::int64_t LoaderDlg::OnCtlColor(int controlId) {
    switch (controlId) {
        case res::IDC_FILE_FIRM:
        case res::IDC_FILE_VERSION:
        case res::IDC_STATUS:
        case res::IDC_FIRMWARE:
        case res::IDC_VERSION:
        case res::IDC_MAIN_STATUS:
        case res::IDC_UNIT:
            return m_hCtlBrush->color;
        default:
            return -1;
    }
}

}  // namespace tolvane
