// Unit identification over arbitrary replies.
//
// Input layout:
//   byte 0   bit 0: m_bAutoLoad; bit 1: variant 9 (else (byte >> 4) % 10);
//            bits 2-3 both set: CTS holds sending; bit 3 alone: the request is
//            written short; bits 4-7 also feed the variant
//   byte 1   length of the identity reply (the rest of the input when longer)
//   ...      the identity reply, then the version reply (none when nothing is left)
// The port double hands each reply to one Read, cut to the count asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    std::size_t idLen = data[1];
    const std::uint8_t* p = data + 2;
    std::size_t left = size - 2;
    idLen = idLen < left ? idLen : left;
    const std::vector<std::uint8_t> identity(p, p + idLen);
    const std::vector<std::uint8_t> version(p + idLen, p + left);

    tolvane::test::MemoryWindow wnd(102);
    tolvane::test::PortDouble port;
    port.ctsHeld = (flags & 0x0C) == 0x0C;
    port.writeLimit = (flags & 0x0C) == 0x08 ? 1 : -1;
    port.replies.push_back(identity);
    if (!version.empty()) {
        port.replies.push_back(version);
    }
    FUZZ_CHECK(port.Open("fuzz"));

    tolvane::LoaderDlg dlg(wnd, port);
    dlg.m_bAutoLoad = (flags & 1) != 0;
    dlg.m_nVariant = (flags & 2) != 0 ? 9 : (flags >> 4) % 10;
    dlg.InitModelCatalogue();
    dlg.m_nMsPerByte = 1;
    dlg.m_nUnitFirmware = -77;
    dlg.m_nUnitVersion = -77;
    const auto idsBefore = dlg.m_unitIds;

    const int result = dlg.IdentifyUnit();

    FUZZ_CHECK(result == 1 || result == 0 || result == -1 || result == -2 || result == 2 ||
               result == 3);
    // Held by CTS, nothing is sent and the unit counts as silent.
    if (port.ctsHeld) {
        FUZZ_CHECK(port.written.empty() && result == 0);
    } else {
        FUZZ_CHECK(!port.written.empty() && port.written.size() <= 2);
        const std::vector<std::uint8_t> request{0xE0, 0x01};
        FUZZ_CHECK(port.writeLimit >= 0 || port.written[0] == request);
    }
    // What came back for the 30-byte request: the Read saw at most 30 bytes.
    const bool answered = !port.ctsHeld && port.writeLimit < 0;
    const std::size_t got = answered ? (identity.size() < 30 ? identity.size() : 30) : 0;
    const bool longReply = answered && got >= 29;
    FUZZ_CHECK(dlg.m_strUnitVersion.empty() || dlg.m_strUnitVersion.size() == 6);

    switch (result) {
        case 1:
            if (longReply) {
                FUZZ_CHECK(dlg.m_nModel >= 0 && dlg.m_nModel <= 3);
                FUZZ_CHECK(dlg.m_nModel != 0 || dlg.m_bAutoLoad);
                FUZZ_CHECK(dlg.m_unitIds == idsBefore);
            } else {
                // A short reply: accepted only for variant 9 on an automatic load.
                FUZZ_CHECK(got >= 10 && dlg.m_nVariant == 9 && dlg.m_bAutoLoad);
                FUZZ_CHECK(dlg.m_nModel == -1);
                FUZZ_CHECK(dlg.m_bType78 + dlg.m_bType10 == 1);
                FUZZ_CHECK(dlg.m_unitIds[1] == tolvane::kGenericCode1C);
            }
            FUZZ_CHECK(port.written.size() == 2);  // the version was asked for
            FUZZ_CHECK(dlg.m_nUnitFirmware != -77 && dlg.m_nUnitVersion != -77);
            break;
        case 3:
            FUZZ_CHECK(longReply);
            FUZZ_CHECK(dlg.m_nModel >= 1 && dlg.m_nModel <= 3);
            FUZZ_CHECK(port.written.size() == 2);
            break;
        case 2:
            FUZZ_CHECK(longReply);
            FUZZ_CHECK(dlg.m_nModel == -1);
            break;
        default:
            FUZZ_CHECK(dlg.m_nModel == -1);
            FUZZ_CHECK(dlg.m_nUnitFirmware == -77 && dlg.m_nUnitVersion == -77);
            FUZZ_CHECK(dlg.m_unitIds == idsBefore);
            FUZZ_CHECK(port.written.size() <= 1);
            FUZZ_CHECK(result != -2 || longReply);
            break;
    }
    return 0;
}
