#include "support/MemoryWindow.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "res/DialogTemplates.h"

namespace tolvane::test {

MemoryWindow::MemoryWindow(int templateId) {
    const res::DialogTemplate* t = res::FindDialogTemplate(templateId);
    if (t == nullptr) {
        return;
    }
    m_title = t->caption;
    for (const auto& c : t->controls) {
        if (c.id < 0) {
            continue;
        }
        Control& ctl = m_controls[c.id];
        if (c.kind == res::ControlKind::ComboList) {
            std::string all = c.text;
            size_t start = 0;
            while (start <= all.size()) {
                const size_t nl = all.find('\n', start);
                ctl.items.push_back(all.substr(start, nl - start));
                if (nl == std::string::npos) {
                    break;
                }
                start = nl + 1;
            }
        } else {
            ctl.text = c.text;
        }
    }
}

MemoryWindow::Control& MemoryWindow::Item(int id) {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        throw std::out_of_range("no control " + std::to_string(id));
    }
    return it->second;
}

const MemoryWindow::Control& MemoryWindow::Item(int id) const {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        throw std::out_of_range("no control " + std::to_string(id));
    }
    return it->second;
}

std::vector<std::string> MemoryWindow::TextsOf(int id) const {
    std::vector<std::string> texts;
    for (const auto& [ctl, text] : textLog) {
        if (ctl == id) {
            texts.push_back(text);
        }
    }
    return texts;
}

int MemoryWindow::DoModal(DialogHandler& handler) {
    m_handler = &handler;
    ended = false;
    handler.OnInitDialog();
    while (!ended && !timers.empty()) {
        const auto [id, ms] = *timers.begin();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (timers.count(id) != 0) {
            handler.OnTimer(id);
        }
    }
    m_handler = nullptr;
    return endResult;
}

void MemoryWindow::EndDialog(int result) {
    ended = true;
    endResult = result;
}

void MemoryWindow::SetItemText(int id, const std::string& text) {
    // Shown as text, a string ends at its first zero byte.
    const std::string shown = text.substr(0, text.find('\0'));
    Item(id).text = shown;
    textLog.emplace_back(id, shown);
}

std::string MemoryWindow::GetItemText(int id) const {
    return Item(id).text;
}

void MemoryWindow::EnableItem(int id, bool enable) {
    Item(id).enabled = enable;
}

bool MemoryWindow::IsItemEnabled(int id) const {
    return Item(id).enabled;
}

int MemoryWindow::GetCurSel(int listId) const {
    return Item(listId).selection;
}

void MemoryWindow::SetCurSel(int listId, int index) {
    Control& c = Item(listId);
    c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

void MemoryWindow::SetProgressRange(int id, int lower, int upper) {
    Control& c = Item(id);
    c.rangeLow = lower;
    c.rangeHigh = upper;
}

void MemoryWindow::SetProgressPos(int id, int pos) {
    Item(id).pos = pos;
    progressLog.push_back(pos);
}

void MemoryWindow::RepaintItem(int id) {
    Item(id);
    ++repaintCount;
}

void MemoryWindow::SetItemBitmap(int id, int bitmapId) {
    Item(id).bitmap = bitmapId;
}

void MemoryWindow::AppendSystemMenu(int command, const std::string& text) {
    systemMenu.emplace_back(command, text);
}

void MemoryWindow::SetItemToolTip(int id, const std::string& tip) {
    Item(id).toolTip = tip;
}

void MemoryWindow::SetListItemToolTip(int listId, int index, const std::string& tip) {
    Item(listId).itemToolTips[index] = tip;
}

bool MemoryWindow::MessageBox(const std::string& text, MsgButtons buttons) {
    questions.push_back(text);
    textLog.emplace_back(kMessageBoxId, text);
    if (onQuestion) {
        onQuestion(text);
    }
    // A box with only OK takes no scripted answer.
    if (messageAnswers.empty() || buttons == MsgButtons::Ok) {
        return true;
    }
    const bool ok = messageAnswers.front();
    messageAnswers.pop_front();
    return ok;
}

int MemoryWindow::RunLoadWhat() {
    ++loadWhatRuns;
    if (loadWhatAnswers.empty()) {
        return 2;
    }
    const int answer = loadWhatAnswers.front();
    loadWhatAnswers.pop_front();
    return answer;
}

bool MemoryWindow::RunOpenFile(const OpenFileRequest& request, std::string& path,
                               std::string& name) {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) {
        return false;
    }
    const FileAnswer a = fileAnswers.front();
    fileAnswers.pop_front();
    if (a.ok) {
        path = a.path;
        name = a.name;
    }
    return a.ok;
}

void MemoryWindow::RunAbout() {
    ++aboutRuns;
    if (onAbout) {
        onAbout();
    }
}

void MemoryWindow::SetTimer(int timerId, unsigned intervalMs) {
    timers[timerId] = intervalMs;
}

void MemoryWindow::KillTimer(int timerId) {
    timers.erase(timerId);
}

void MemoryWindow::DispatchPendingEvents() {
    ++dispatchCount;
    if (onDispatch) {
        onDispatch(dispatchCount);
    }
}

}  // namespace tolvane::test
