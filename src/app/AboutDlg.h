#pragma once

#include "platform/Controls.h"
#include "platform/DialogWindow.h"

namespace tolvane {

// The About box (template 100): program title and version, legal notice, OK.
class AboutDlg : public DialogHandler {
  public:
    explicit AboutDlg(DialogWindow& wnd) : m_wnd(wnd) {}

    void DoDataExchange() { m_version.Bind(m_wnd, 1016); }
    bool OnInitDialog() override;
    void OnOK() override { m_wnd.EndDialog(1); }
    void OnCancel() override { m_wnd.EndDialog(2); }

  private:
    DialogWindow& m_wnd;
    Static m_version;
};

}  // namespace tolvane
