#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Controls.h"
#include "platform/DialogWindow.h"
#include "platform/ReadOnlyFile.h"
#include "platform/SerialPort.h"

namespace tolvane {

// The program title shown in the window title and the About box.
inline constexpr const char* kProgramTitle = "Brennic Tolvane";

// The loader's main dialog (template 102) and the owner of all its state.
// Every operation of the loader is a member that works on this record; the
// window is reached only through DialogWindow and the line only through SerialPort.
class LoaderDlg : public DialogHandler {
  public:
    LoaderDlg(DialogWindow& wnd, SerialPort& port);
    ~LoaderDlg() override;
    LoaderDlg(const LoaderDlg&) = delete;
    LoaderDlg& operator=(const LoaderDlg&) = delete;

    // Window (app/LoaderDlgWindow.cpp).
    void DoDataExchange();
    bool OnInitDialog() override;
    void OnCommand(int controlId, int notification) override;
    void OnTimer(int timerId) override;
    void OnSysCommand(int command) override;
    void OnOK() override;
    void OnCancel() override;
    std::int64_t OnCtlColor(int controlId) override;
    int OnQueryDragIcon() const { return m_hIcon; }

    // Port and link (link/).
    int OpenPort();
    int Transact(int txLen, int rxLen, int extraMs, int acceptShort);
    int IdentifyUnit();
    void ConnectToUnit();
    void UpdateControls();
    void OnPortSettingsChanged();
    // Tooltips of the port list and its items: the device each "COM n" opens.
    void UpdatePortToolTips();

    // Image files (image/).
    void InitModelCatalogue();
    void CheckImageFile();
    void OnBrowse();

    // Load (load/).
    void OnConnectLoad();

    DialogWindow& Window() { return m_wnd; }

    // A solid brush is only its colour here; the window paints with it.
    struct SolidBrush {
        std::uint32_t color;  // 0x00BBGGRR
    };

    // ---- The state record, in declaration order. ----
    SolidBrush m_brCtl{0x00C8FFFF};
    const SolidBrush* m_hCtlBrush = &m_brCtl;
    std::int32_t m_bConnected = 0;
    std::int32_t m_bFileValid = 0;
    std::int32_t m_nConnectResult = 0;
    std::int32_t m_nUnitFirmware = 0;
    std::uint32_t m_nFileFirmware = 0;
    std::int32_t m_nUnitVersion = 0;
    std::uint32_t m_nFileVersion = 0;
    std::int32_t m_nBytesRead = 0;
    std::uint32_t m_nChecksum = 0;
    SerialPort& m_hCom;
    int m_hIcon;
    std::string m_strUnitVersion;
    std::string m_strFileName;
    std::string m_strFilePath;
    std::uint32_t m_nMsPerByte = 0;
    std::array<std::uint8_t, 1024> m_txBuf{};
    std::array<std::uint8_t, 256> m_rxBuf{};
    std::int32_t m_nLoadWhat = 0;
    ReadOnlyFile m_file;
    std::uint64_t m_nBlocks = 0;
    std::int32_t m_bType78 = 0;
    std::int32_t m_bType10 = 0;
    std::int32_t m_nModel = -1;
    std::int32_t m_nModelCount = 3;
    std::array<std::uint32_t, 10> m_unitIds{};
    std::array<std::uint32_t, 10> m_presetIds{};
    std::int32_t m_nPortSel = 0;
    std::int32_t m_nBaudSel = 0;
    std::int32_t m_nVariant = 0;
    std::string m_strCmdFile;
    bool m_bAutoLoad = false;
    ComboBox m_cbBaud;
    Button m_btnConnect;
    ComboBox m_cbPort;
    Edit m_editFile;
    ProgressCtrl m_progress;
    Static m_picBanner;
    Button m_btnBrowse;

    // ---- Our own additions. ----
    // The kind CheckImageFile validated the selected file as: 0 program, 1 preset, -1 none.
    std::int32_t m_nFileKind = -1;

  private:
    DialogWindow& m_wnd;
};

}  // namespace tolvane
