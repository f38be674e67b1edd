#include "app/LoaderDlg.h"
#include "platform/Tick.h"

namespace tolvane {

namespace {

// Quiet time before every request, so the unit sees the end of the previous exchange.
constexpr std::uint32_t kGapMs = 2;
// How long sending may wait for CTS before the request is given up.
constexpr std::uint32_t kCtsWaitMs = 3000;

}  // namespace

int LoaderDlg::Transact(int txLen, int rxLen, int extraMs, int acceptShort) {
    if (txLen < 0 || rxLen < 0 || txLen > static_cast<int>(m_txBuf.size()) ||
        rxLen > static_cast<int>(m_rxBuf.size())) {
        return -1;
    }
    // Read limit: m ms per byte of request and reply, plus extraMs units of m ms.
    const std::uint32_t limitMs =
        m_nMsPerByte * static_cast<std::uint32_t>(rxLen + txLen + (extraMs > 0 ? extraMs : 0));

    const std::uint32_t t0 = GetTickCount();
    while (!TickReached(GetTickCount(), t0 + kGapMs)) {
    }

    m_hCom.PurgeRx();

    const std::uint32_t ctsDeadline = GetTickCount() + kCtsWaitMs;
    bool held = true;
    for (;;) {
        held = m_hCom.CtsHold();
        if (!held || TickReached(GetTickCount(), ctsDeadline)) {
            break;
        }
    }
    if (held) {
        return -1;
    }

    m_hCom.PurgeRx();
    const int written = m_hCom.Write(m_txBuf.data(), txLen);

    if (rxLen == 0) {
        const int result = (written == txLen) ? 0 : -1;
        m_hCom.WaitTxEmpty();
        return result;
    }
    if (written != txLen) {
        return -1;
    }
    const int got = m_hCom.Read(m_rxBuf.data(), rxLen, limitMs);
    if (got == rxLen) {
        return rxLen;
    }
    return acceptShort != 0 ? got : -2;
}

}  // namespace tolvane
