#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/DialogWindow.h"

namespace tolvane::test {

// A DialogWindow kept in memory: controls start from the dialog template,
// everything is readable, questions are answered from a script and recorded.
class MemoryWindow : public DialogWindow {
  public:
    explicit MemoryWindow(int templateId = 102);

    struct Control {
        std::string text;
        bool enabled = true;
        std::vector<std::string> items;  // lists
        int selection = -1;
        int rangeLow = 0, rangeHigh = 100, pos = 0;  // progress bars
        int bitmap = 0;
        std::string toolTip;
        std::map<int, std::string> itemToolTips;
    };

    // ---- Script ----
    // Answers to message boxes, in order; when none is left, OK.
    std::deque<bool> messageAnswers;
    std::deque<int> loadWhatAnswers;  // when none is left, 2
    struct FileAnswer {
        bool ok;
        std::string path, name;
    };
    std::deque<FileAnswer> fileAnswers;  // when none is left, Cancel
    // Called at every DispatchPendingEvents (the load's event pump), with its count from 1.
    std::function<void(int)> onDispatch;
    // Called when a message box is asked, before it is answered.
    std::function<void(const std::string&)> onQuestion;
    // Called when RunAbout runs.
    std::function<void()> onAbout;

    // ---- Record ----
    std::vector<std::string> questions;  // every message box text, in order
    std::vector<OpenFileRequest> fileRequests;
    int loadWhatRuns = 0;
    int aboutRuns = 0;
    int dispatchCount = 0;
    // Every text set on a control, in order: (id, text); a message box's
    // question is logged under kMessageBoxId at the moment it is asked.
    static constexpr int kMessageBoxId = 0;
    std::vector<std::pair<int, std::string>> textLog;
    // Every progress position set, in order.
    std::vector<int> progressLog;
    bool ended = false;
    int endResult = -1;
    std::map<int, unsigned> timers;
    std::vector<std::pair<int, std::string>> systemMenu;
    int icon = 0;

    Control& Item(int id);
    const Control& Item(int id) const;
    bool Has(int id) const { return m_controls.count(id) != 0; }
    // Texts set on `id`, in order.
    std::vector<std::string> TextsOf(int id) const;

    // DoModal: OnInitDialog, then fires due timers until EndDialog or until no
    // timer is left.
    int DoModal(DialogHandler& handler) override;
    void EndDialog(int result) override;
    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) const override;
    int GetCurSel(int listId) const override;
    void SetCurSel(int listId, int index) override;
    void SetProgressRange(int id, int lower, int upper) override;
    void SetProgressPos(int id, int pos) override;
    void RepaintItem(int id) override;
    void SetTitle(const std::string& title) override { m_title = title; }
    std::string GetTitle() const override { return m_title; }
    void SetIcon(int iconId) override { icon = iconId; }
    void SetItemBitmap(int id, int bitmapId) override;
    void AppendSystemMenu(int command, const std::string& text) override;
    void SetItemToolTip(int id, const std::string& tip) override;
    void SetListItemToolTip(int listId, int index, const std::string& tip) override;
    bool MessageBox(const std::string& text, MsgButtons buttons) override;
    int RunLoadWhat() override;
    bool RunOpenFile(const OpenFileRequest& request, std::string& path, std::string& name) override;
    void RunAbout() override;
    void SetTimer(int timerId, unsigned intervalMs) override;
    void KillTimer(int timerId) override;
    void DispatchPendingEvents() override;

    int repaintCount = 0;

  private:
    std::map<int, Control> m_controls;
    std::string m_title;
    DialogHandler* m_handler = nullptr;
};

}  // namespace tolvane::test
