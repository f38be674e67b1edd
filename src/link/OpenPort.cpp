#include "app/LoaderDlg.h"
#include "platform/ComPorts.h"

namespace tolvane {

namespace {

struct SpeedRow {
    int selection;  // position in list 1005
    std::uint32_t baud;
    std::uint32_t msPerByte;
};

// Position in the speed list, speed in bit/s, milliseconds allowed per byte
// in read time limits. No selection, or any other position, gives 38400 at 1 ms.
constexpr SpeedRow kSpeedTable[] = {
    {0, 115200, 1}, {1, 57600, 1}, {2, 38400, 1}, {3, 19200, 1}, {4, 9600, 2},
};
constexpr SpeedRow kDefaultSpeed{-1, 38400, 1};

}  // namespace

int LoaderDlg::OpenPort() {
    if (m_nMsPerByte != 0) {
        m_hCom.Flush();
        m_hCom.Close();
        m_nMsPerByte = 0;
    }

    // "COM n" for list position n - 1; no selection names COM0, which never opens.
    const int comNumber = m_cbPort.GetCurSel() + 1;
    if (!m_hCom.Open(ComDevicePath(comNumber))) {
        return 1;
    }

    LineSettings line;
    if (!m_hCom.GetState(line)) {
        m_hCom.Close();
        return 1;
    }

    SpeedRow speed = kDefaultSpeed;
    const int baudSel = m_cbBaud.GetCurSel();
    for (const auto& row : kSpeedTable) {
        if (row.selection == baudSel) {
            speed = row;
        }
    }
    m_nMsPerByte = speed.msPerByte;

    line.baudRate = speed.baud;
    line.byteSize = 8;
    line.parity = 0;
    line.stopBits = 0;
    if (!m_hCom.SetState(line)) {
        // The port stays held; the next OpenPort releases it.
        return 1;
    }
    return 0;
}

}  // namespace tolvane
