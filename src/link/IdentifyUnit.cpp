#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"

namespace tolvane {

namespace {

// Identity request E0 01; the long reply begins E8 00 1C, the short one E8 00 09.
constexpr std::uint8_t kIdentityRequest[] = {0xE0, 0x01};
constexpr std::uint8_t kVersionRequest[] = {0xB0, 0x01};
constexpr int kIdentityReplyLen = 30;
constexpr int kLongReplyMin = 29;
constexpr int kShortReplyMin = 10;
constexpr int kVersionReplyLen = 21;
constexpr int kVersionTextAt = 14;
constexpr int kVersionTextLen = 6;

// Low seven bits of the firmware number that each hardware family must report.
constexpr int kFirmwareLowBits1A = 22;
constexpr int kFirmwareLowBitsOther = 20;

}  // namespace

int LoaderDlg::IdentifyUnit() {
    m_nModel = -1;
    m_txBuf[0] = kIdentityRequest[0];
    m_txBuf[1] = kIdentityRequest[1];
    const int n = Transact(2, kIdentityReplyLen, 0, 1);

    auto fetchVersionText = [this] {
        m_strUnitVersion.clear();
        m_txBuf[0] = kVersionRequest[0];
        m_txBuf[1] = kVersionRequest[1];
        const int k = Transact(2, kVersionReplyLen, 0, 1);
        if (k >= kVersionReplyLen) {
            for (int i = 0; i < kVersionTextLen; ++i) {
                m_strUnitVersion +=
                    static_cast<char>(m_rxBuf[static_cast<size_t>(kVersionTextAt + i)]);
            }
        }
    };

    if (n >= kLongReplyMin) {
        if (m_rxBuf[0] != 0xE8 || m_rxBuf[1] != 0x00 || m_rxBuf[2] != 0x1C) {
            return -1;
        }
        const std::uint32_t code = static_cast<std::uint32_t>(m_rxBuf[4]) |
                                   static_cast<std::uint32_t>(m_rxBuf[5]) << 8 |
                                   static_cast<std::uint32_t>(m_rxBuf[6]) << 16 |
                                   static_cast<std::uint32_t>(m_rxBuf[7]) << 24;
        const bool generic = code == kGenericCode1C || code == kGenericCode1A;
        if (generic) {
            if (!m_bAutoLoad) {
                return -2;
            }
            m_nModel = 0;
        } else {
            for (int k = 1; k <= m_nModelCount && k < static_cast<int>(m_unitIds.size()); ++k) {
                if (m_unitIds[static_cast<size_t>(k)] == code) {
                    m_nModel = k;
                    break;
                }
            }
            if (m_nModel < 1) {
                return 2;
            }
        }
        // Byte 8 carries the firmware's low seven bits inverted.
        m_nUnitFirmware = m_rxBuf[9] * 128 - m_rxBuf[8] + 127;
        m_nUnitVersion = m_rxBuf[11] * 128 + m_rxBuf[10];
        fetchVersionText();

        if (generic) {
            return 1;
        }
        const int lowBits = m_nUnitFirmware & 0x7F;
        const int expected =
            ((code >> 16) & 0xFF) == 0x1A ? kFirmwareLowBits1A : kFirmwareLowBitsOther;
        return lowBits == expected ? 1 : 3;
    }

    if (n < kShortReplyMin || m_nVariant != 9 || !m_bAutoLoad) {
        return 0;
    }
    if (m_rxBuf[0] != 0xE8 || m_rxBuf[1] != 0x00 || m_rxBuf[2] != 0x09) {
        return -1;
    }
    if (m_rxBuf[4] == 0x78) {
        m_bType78 = 1;
    } else if (m_rxBuf[4] == 0x10) {
        m_bType10 = 1;
    } else {
        return 0;
    }
    m_nUnitFirmware = m_rxBuf[6] * 128 + m_rxBuf[5];
    m_nUnitVersion = m_rxBuf[8] * 128 + m_rxBuf[7];
    // A short reply carries no identity code: model 1's entry takes the generic
    // code for the rest of the run, so a program file marked generic passes.
    m_unitIds[1] = kGenericCode1C;
    fetchVersionText();
    return 1;
}

}  // namespace tolvane
