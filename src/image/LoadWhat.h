#pragma once

#include "platform/Controls.h"
#include "platform/DialogWindow.h"

namespace tolvane {

// The "What to Load" dialog (template 130): two picture buttons, a new
// program (1014, result 0) or a new preset file (1015, result 2). Leaving the
// dialog without a choice also gives 2, so no choice means presets.
class LoadWhat : public DialogHandler {
  public:
    static constexpr int kProgram = 0;
    static constexpr int kPreset = 2;

    explicit LoadWhat(DialogWindow& wnd) : m_wnd(wnd) {}

    void DoDataExchange();
    bool OnInitDialog() override;
    void OnCommand(int controlId, int notification) override;
    // Enter with no push button focused acts as the default button, 1015.
    void OnOK() override;
    void OnCancel() override;

    Button m_btnProgram;
    Button m_btnPreset;

  private:
    DialogWindow& m_wnd;
};

}  // namespace tolvane
