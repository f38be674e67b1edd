#pragma once

#include <stdlib.h>

#include <memory>
#include <string>

#include "app/LoaderDlg.h"
#include "platform/TermiosPort.h"
#include "sim/SimUnit.h"
#include "support/MemoryWindow.h"

namespace tolvane::test {

// A loader dialog on an in-memory window whose "COM 1" is a simulated unit on
// a pseudo-terminal, spoken to through the real termios port.
struct SimBench {
    explicit SimBench(const sim::UnitConfig& config = {}) : unit(config) {
        started = unit.Start();
        setenv("TOLVANE_COM1", unit.DevicePath().c_str(), 1);
        dlg = std::make_unique<LoaderDlg>(wnd, port);
        dlg->DoDataExchange();
        dlg->InitModelCatalogue();
        wnd.SetCurSel(1004, 0);
        wnd.SetCurSel(1005, 0);
    }
    ~SimBench() {
        dlg.reset();
        port.Close();
        unsetenv("TOLVANE_COM1");
    }
    SimBench(const SimBench&) = delete;
    SimBench& operator=(const SimBench&) = delete;

    sim::SimUnit unit;
    bool started = false;
    MemoryWindow wnd{102};
    TermiosPort port;
    std::unique_ptr<LoaderDlg> dlg;
};

}  // namespace tolvane::test
