#include <cstdio>
#include <cstring>

#include "app/LoaderDlg.h"
#include "image/FileErrors.h"
#include "load/LoaderFrames.h"
#include "res/Resource.h"

namespace tolvane {

namespace {

constexpr const char* kIdenticalVersions = "Identical Versions";
constexpr const char* kUnitHasLater = "Unit has later Version.\n Load OLD? (Not Recomended!)";
constexpr const char* kConfirmProgram = "Confirm Load New Program";
constexpr const char* kConfirmPresets = "Confirm Load Presets";
constexpr const char* kUserAborted = "User Aborted Operation";
constexpr const char* kWritingBlock = "Writing Block %i of %i";
constexpr const char* kAllDone = "All Done";
constexpr const char* kLoadFailed = "Load Failed";
constexpr const char* kNoConnectionAfterLoad =
    "No Connection";  // no leading blank, unlike the connect texts

// A preset file's 32-byte header (its name) is not sent; its data goes from block 3072 on.
constexpr int kPresetHeaderLen = 32;
constexpr std::uint32_t kFirstPresetBlock = 3072;

// Transact arguments: bytes out, bytes back, extra allowance, short reply accepted.
constexpr int kStartExtraMs = 10000;
constexpr int kBlockExtraMs = 5000;
constexpr int kBlockTries = 2;

}  // namespace

void LoaderDlg::OnConnectLoad() {
    ConnectToUnit();
    UpdateControls();
    if (!m_bConnected || !m_bFileValid) {
        return;
    }

    m_btnConnect.EnableWindow(false);
    std::uint32_t progress = 0;

    // The file decides the kind of load: a preset file is never written as a
    // program with its header, a program file never from the preset address.
    const bool presetLoad = m_nFileKind == 1;

    // Something changed the file since it was checked a moment ago: send
    // nothing and say so in the file fields.
    auto refuseFile = [this](const char* why) {
        m_file.Close();
        m_wnd.SetItemText(res::IDC_FILE_FIRM, kErrorInFile);
        m_wnd.SetItemText(res::IDC_FILE_VERSION, why);
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, kLoadFailed);
        m_btnConnect.EnableWindow(true);
    };

    const char* question = "";
    std::uint32_t firstBlock = 0;
    if (presetLoad) {
        if (!m_file.Open(m_strFilePath)) {
            refuseFile(kFileErrorTexts[kErrNotFound]);
            return;
        }
        m_nBytesRead = m_file.Read(m_txBuf.data() + kPayloadAt, kPresetHeaderLen);
        if (m_nBytesRead != kPresetHeaderLen) {
            refuseFile(kFileErrorTexts[kErrSize]);
            return;
        }
        firstBlock = kFirstPresetBlock;
        question = kConfirmPresets;
    } else {
        const auto unitVersion = static_cast<std::uint32_t>(m_nUnitVersion);
        const char* versionQuestion = nullptr;
        if (unitVersion == m_nFileVersion) {
            versionQuestion = kIdenticalVersions;
        } else if (unitVersion > m_nFileVersion) {
            versionQuestion = kUnitHasLater;
        }
        if (versionQuestion != nullptr &&
            !m_wnd.MessageBox(versionQuestion, MsgButtons::OkCancel)) {
            m_wnd.SetItemText(res::IDC_MAIN_STATUS, "");
            m_btnConnect.EnableWindow(true);
            return;
        }
        question = kConfirmProgram;
        firstBlock = 0;
        if (!m_file.Open(m_strFilePath)) {
            refuseFile(kFileErrorTexts[kErrNotFound]);
            return;
        }
    }

    m_progress.SetRange32(0, static_cast<int>(static_cast<std::uint32_t>(m_nBlocks)));

    if (!m_bAutoLoad && !m_wnd.MessageBox(question, MsgButtons::OkCancel)) {
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, kUserAborted);
        m_file.Close();
        m_btnConnect.EnableWindow(true);
        return;
    }

    m_cbPort.EnableWindow(false);
    m_cbBaud.EnableWindow(false);
    m_btnBrowse.EnableWindow(false);
    m_wnd.EnableItem(res::IDOK, false);

    auto failLoad = [this] {
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, kLoadFailed);
        m_wnd.SetItemText(res::IDC_STATUS, kNoConnectionAfterLoad);
        m_file.Close();
        m_hCom.Close();
        m_nMsPerByte = 0;
        m_btnConnect.EnableWindow(true);
    };

    // Start frame.
    BuildStartFrame(
        std::span<std::uint8_t, kStartFrameLen>(m_txBuf.data(), kStartFrameLen),
        StartFrameType(m_bType10 != 0, m_bType78 != 0, m_nModel, m_nModelCount, m_unitIds));
    if (Transact(static_cast<int>(kStartFrameLen), 1, kStartExtraMs, 0) != 1 ||
        m_rxBuf[0] != kAck) {
        failLoad();
        return;
    }

    const std::uint64_t fileBlocks = m_nBlocks;
    m_nBlocks += firstBlock;

    // Blocks are read straight into the frame, so the end frame carries what
    // the last pass left there.
    const std::span<std::uint8_t, kBlockFrameLen> frame(m_txBuf.data(), kBlockFrameLen);
    const std::span<std::uint8_t, kBlockLen> block(m_txBuf.data() + kPayloadAt, kBlockLen);
    std::uint32_t blockNumber = firstBlock;
    for (bool lastPass = false; !lastPass; ++blockNumber) {
        m_wnd.DispatchPendingEvents();

        std::memset(block.data(), 0xFF, kBlockLen);
        m_nBytesRead = m_file.Read(block.data(), static_cast<int>(kBlockLen));
        lastPass = m_nBytesRead != static_cast<int>(kBlockLen);
        if (lastPass && m_file.ErrorNumber() != 0) {
            // A read error is no end of the image: stop before sending part of it.
            failLoad();
            return;
        }
        if (m_nBytesRead == 0) {
            continue;
        }
        if (blockNumber > kLastAddressableBlock) {
            failLoad();
            return;
        }
        if (!IsErasedBlock(block)) {
            m_nChecksum = SealBlockFrame(frame, blockNumber);
            bool acknowledged = false;
            for (int attempt = 0; attempt < kBlockTries && !acknowledged; ++attempt) {
                acknowledged =
                    Transact(static_cast<int>(kBlockFrameLen), 1, kBlockExtraMs, 0) == 1 &&
                    m_rxBuf[0] == kAck;
            }
            if (!acknowledged) {
                failLoad();
                return;
            }
        }

        char status[64];
        std::snprintf(status, sizeof status, kWritingBlock, static_cast<int>(blockNumber + 1),
                      static_cast<int>(static_cast<std::uint32_t>(m_nBlocks)));
        m_wnd.SetItemText(res::IDC_MAIN_STATUS, status);
        m_wnd.RepaintItem(res::IDC_MAIN_STATUS);
        m_progress.SetPos(static_cast<int>(progress));
        ++progress;
    }

    // The file must not have shrunk since it was checked: a shorter image
    // would leave the rest of the unit's memory as it was.
    if (progress < fileBlocks) {
        failLoad();
        return;
    }

    m_nChecksum = SealEndFrame(frame);
    Transact(static_cast<int>(kBlockFrameLen), 0, 0, 0);
    m_hCom.Flush();
    m_file.Close();
    m_progress.SetPos(0);
    m_wnd.SetItemText(res::IDC_MAIN_STATUS, kAllDone);
    m_btnConnect.EnableWindow(true);
    m_cbPort.EnableWindow(true);
    m_cbBaud.EnableWindow(true);
    m_btnBrowse.EnableWindow(true);
    m_wnd.EnableItem(res::IDOK, true);
    m_wnd.EndDialog(0);
}

}  // namespace tolvane
