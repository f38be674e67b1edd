#include "app/LoaderApp.h"

#include "app/LoaderDlg.h"

namespace tolvane {

namespace {

// The one character after an option letter converted like "%d": a digit
// gives its value, anything else (or nothing) converts nothing.
bool ConvertDigit(const std::string& args, size_t at, std::int32_t& field) {
    if (at < args.size() && args[at] >= '0' && args[at] <= '9') {
        field = args[at] - '0';
        return true;
    }
    return false;
}

}  // namespace

std::string LoaderApp::ArgumentText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 0x20) {
        ++start;
    }
    return text.substr(start);
}

void LoaderApp::ReadOptions(const std::string& args, LoaderDlg& dlg) {
    // Each option is searched independently over the whole text; only the
    // first " <letter>" counts, and the letter is case-sensitive.
    if (const size_t c = args.find(" c"); c != std::string::npos) {
        ConvertDigit(args, c + 2, dlg.m_nPortSel);
        if (dlg.m_nPortSel != 0) {
            --dlg.m_nPortSel;
        }
    }
    if (const size_t s = args.find(" s"); s != std::string::npos) {
        ConvertDigit(args, s + 2, dlg.m_nBaudSel);
    }
    if (const size_t x = args.find(" x"); x != std::string::npos) {
        ConvertDigit(args, x + 2, dlg.m_nVariant);
    }
    if (const size_t f = args.find(" f"); f != std::string::npos) {
        dlg.m_strCmdFile = args.substr(f + 2);
        dlg.m_bAutoLoad = true;
    }
}

bool LoaderApp::InitInstance(const std::string& args, DialogWindow& wnd, SerialPort& port,
                             int* exitStatus) {
    LoaderDlg dlg(wnd, port);
    dlg.m_bAutoLoad = false;
    ReadOptions(args, dlg);
    // Only a completed load ends the dialog with 0; a program that started
    // the loader with a file learns from the status whether it was loaded.
    const int result = wnd.DoModal(dlg);
    if (exitStatus != nullptr) {
        *exitStatus = dlg.m_bAutoLoad && result != 0 ? 1 : 0;
    }
    return false;
}

}  // namespace tolvane
