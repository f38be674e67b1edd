#pragma once

#include <string>

#include "platform/DialogWindow.h"

namespace tolvane {

// Member wrappers of numbered controls, bound once the window exists.
class ControlRef {
  public:
    void Bind(DialogWindow& wnd, int id) {
        m_wnd = &wnd;
        m_id = id;
    }
    bool IsBound() const { return m_wnd != nullptr; }
    int Id() const { return m_id; }
    void SetWindowText(const std::string& text) { m_wnd->SetItemText(m_id, text); }
    std::string GetWindowText() const { return m_wnd->GetItemText(m_id); }
    void EnableWindow(bool enable) { m_wnd->EnableItem(m_id, enable); }

  protected:
    DialogWindow* m_wnd = nullptr;
    int m_id = 0;
};

class ComboBox : public ControlRef {
  public:
    int GetCurSel() const { return m_wnd->GetCurSel(m_id); }
    void SetCurSel(int index) { m_wnd->SetCurSel(m_id, index); }
};

class Button : public ControlRef {};
class Edit : public ControlRef {};

class ProgressCtrl : public ControlRef {
  public:
    void SetRange32(int lower, int upper) { m_wnd->SetProgressRange(m_id, lower, upper); }
    void SetPos(int pos) { m_wnd->SetProgressPos(m_id, pos); }
};

class Static : public ControlRef {
  public:
    void SetBitmap(int bitmapId) { m_wnd->SetItemBitmap(m_id, bitmapId); }
};

}  // namespace tolvane
