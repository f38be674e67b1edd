#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

// The handlers a dialog offers to the window that shows it. The window calls
// them on its one thread, in the order the events happen.
class DialogHandler {
  public:
    virtual ~DialogHandler() = default;
    // Called once after the controls of the template exist; true lets the
    // window give the focus to the first control that takes it.
    virtual bool OnInitDialog() = 0;
    // A click on a button (res::BN_CLICKED) or a new list selection (res::CBN_SELCHANGE).
    virtual void OnCommand(int /*controlId*/, int /*notification*/) {}
    virtual void OnTimer(int /*timerId*/) {}
    // A command of the window's menu (the About item is command 16).
    virtual void OnSysCommand(int /*command*/) {}
    // Button 1 or Enter while no push button has the focus.
    virtual void OnOK() = 0;
    // Escape, the close box.
    virtual void OnCancel() = 0;
    // Background colour of a control as 0x00BBGGRR, or -1 for the platform's colours.
    virtual std::int64_t OnCtlColor(int /*controlId*/) { return -1; }
};

// What the open-file dialog is asked to show.
struct OpenFileRequest {
    std::string defaultExt;   // appended to a typed name without extension
    std::string initialName;  // stands in the name box; a pattern also filters the listing
    std::string filter;       // "Label|pattern||": one entry
    bool fileMustExist = true;
    bool noChangeDir = true;
    bool hideReadOnly = true;
};

enum class MsgButtons { Ok, OkCancel };

// The window as the dialog sees it: controls known by their numbers only.
// One implementation draws real widgets; the tests keep everything in memory.
class DialogWindow {
  public:
    virtual ~DialogWindow() = default;

    // Runs the dialog modally: creates the controls, calls handler.OnInitDialog(),
    // then delivers events until EndDialog; returns the value given to EndDialog.
    virtual int DoModal(DialogHandler& handler) = 0;
    virtual void EndDialog(int result) = 0;

    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual std::string GetItemText(int id) const = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    virtual bool IsItemEnabled(int id) const = 0;
    // List selection; -1 means none. A position outside the list clears the selection.
    virtual int GetCurSel(int listId) const = 0;
    virtual void SetCurSel(int listId, int index) = 0;
    virtual void SetProgressRange(int id, int lower, int upper) = 0;
    virtual void SetProgressPos(int id, int pos) = 0;
    // Repaints a control at once, outside the event loop.
    virtual void RepaintItem(int id) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual std::string GetTitle() const = 0;
    // Icon resource for the window's big and small icons.
    virtual void SetIcon(int iconId) = 0;
    // Shows a picture resource on a picture control or a picture button.
    virtual void SetItemBitmap(int id, int bitmapId) = 0;
    // Appends a separator and then the item to the window's menu; its command
    // reaches DialogHandler::OnSysCommand.
    virtual void AppendSystemMenu(int command, const std::string& text) = 0;
    // Diagnostics beside the fixed texts: a control's tooltip and a list item's.
    virtual void SetItemToolTip(int id, const std::string& tip) = 0;
    virtual void SetListItemToolTip(int listId, int index, const std::string& tip) = 0;

    // Modal message box with the question icon, captioned with the program's
    // name; true only when the answer is OK.
    virtual bool MessageBox(const std::string& text, MsgButtons buttons) = 0;
    // The "What to Load" dialog: 0 for a program, 2 for presets or no choice.
    virtual int RunLoadWhat() = 0;
    // The open-file dialog; on OK fills the full path and the bare name.
    virtual bool RunOpenFile(const OpenFileRequest& request, std::string& path,
                             std::string& name) = 0;
    virtual void RunAbout() = 0;

    virtual void SetTimer(int timerId, unsigned intervalMs) = 0;
    virtual void KillTimer(int timerId) = 0;
    // Dispatches the events that are waiting now, then returns.
    virtual void DispatchPendingEvents() = 0;
};

}  // namespace tolvane
