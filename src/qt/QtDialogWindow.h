#pragma once

#include <QFont>
#include <QPointer>
#include <QRect>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/DialogWindow.h"
#include "res/DialogTemplates.h"

class QCloseEvent;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QTimer;
class QWidget;

namespace tolvane {

class DialogWidget;

// DialogWindow over real Qt widgets, built from one of the dialog templates.
// One thread: every handler runs on the thread of the QApplication.
class QtDialogWindow final : public DialogWindow {
  public:
    // A window with a parent is a dialog over it, modal while it runs; one
    // without is a top-level window of its own.
    explicit QtDialogWindow(int templateId, QWidget* parent = nullptr);
    ~QtDialogWindow() override;
    QtDialogWindow(const QtDialogWindow&) = delete;
    QtDialogWindow& operator=(const QtDialogWindow&) = delete;

    // The font every dialog is laid out in; dialog units derive from it.
    static QFont DialogFont();
    // Pixels per 4 horizontal and per 8 vertical dialog units.
    static int BaseUnitX();
    static int BaseUnitY();
    static QRect MapDialogRect(int x, int y, int cx, int cy);

    // Called after every DispatchPendingEvents with its count from 1.
    std::function<void(int)> onDispatch;

    struct Item {
        const res::ControlTemplate* tpl;
        QWidget* widget;
    };
    // The window and its controls in template order (unnumbered ones included).
    QWidget* Widget() const;
    const std::vector<Item>& Items() const { return m_items; }
    QWidget* Control(int id) const;
    // The window's context menu; nullptr until an item has been appended.
    QMenu* SystemMenu() const { return m_menu; }
    int DispatchCount() const { return m_dispatchCount; }

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
    void SetTitle(const std::string& title) override;
    std::string GetTitle() const override;
    void SetIcon(int iconId) override;
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

  private:
    friend class DialogWidget;

    void CreateControls();
    const Item* Find(int id) const;
    void ApplyColours(DialogHandler& handler);
    void FocusFirstControl();
    void Clicked(int id);
    void KeyPressed(QKeyEvent* event);
    void CloseRequested(QCloseEvent* event);
    void ContextMenuRequested(QContextMenuEvent* event);

    const res::DialogTemplate* m_template;
    QPointer<DialogWidget> m_widget;
    std::vector<Item> m_items;
    // Texts of picture buttons: kept, not shown.
    std::map<int, std::string> m_hiddenTexts;
    std::map<int, QTimer*> m_timers;
    QMenu* m_menu = nullptr;
    DialogHandler* m_handler = nullptr;
    bool m_ended = false;
    int m_result = -1;
    int m_dispatchCount = 0;
};

}  // namespace tolvane
