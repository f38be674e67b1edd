#include "image/LoadWhat.h"

#include "res/Resource.h"

namespace tolvane {

void LoadWhat::DoDataExchange() {
    m_btnProgram.Bind(m_wnd, res::IDC_LOAD_PROGRAM);
    m_btnPreset.Bind(m_wnd, res::IDC_LOAD_PRESET);
}

bool LoadWhat::OnInitDialog() {
    DoDataExchange();
    m_wnd.SetItemBitmap(m_btnProgram.Id(), res::IDB_PROGRAM);
    m_wnd.SetItemBitmap(m_btnPreset.Id(), res::IDB_PRESET);
    // The focus goes to the first tab stop, 1015.
    return true;
}

void LoadWhat::OnCommand(int controlId, int notification) {
    if (notification != res::BN_CLICKED) {
        return;
    }
    switch (controlId) {
        case res::IDC_LOAD_PROGRAM:
            m_wnd.EndDialog(kProgram);
            break;
        case res::IDC_LOAD_PRESET:
            m_wnd.EndDialog(kPreset);
            break;
        case res::IDOK:
            OnOK();
            break;
        case res::IDCANCEL:
            OnCancel();
            break;
        default:
            break;
    }
}

void LoadWhat::OnOK() {
    m_wnd.EndDialog(kPreset);
}

void LoadWhat::OnCancel() {
    m_wnd.EndDialog(res::IDCANCEL);
}

}  // namespace tolvane
