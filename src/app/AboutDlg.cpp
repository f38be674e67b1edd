#include "app/AboutDlg.h"

#include "app/LoaderDlg.h"
#include "app/VersionInfo.h"

namespace tolvane {

bool AboutDlg::OnInitDialog() {
    DoDataExchange();
    m_wnd.SetTitle(kProgramTitle);
    m_version.SetWindowText(std::string(kProgramTitle) + "  " +
                            GetVersionInfoString("ProductVersion"));
    return true;
}

}  // namespace tolvane
