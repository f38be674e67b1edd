// The command line: arbitrary argument text read into a fresh dialog, then
// the dialog's start-up, which turns the fields into list selections and file names.
//
// Input: the argument text. Its zero bytes also split it into argv entries for
// ArgumentText.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/LoaderApp.h"
#include "app/LoaderDlg.h"
#include "res/Resource.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace {

using tolvane::LoaderApp;
using tolvane::LoaderDlg;

void CheckArgumentText(const std::string& input) {
    std::vector<std::string> pieces{"tolvane"};
    std::string::size_type start = 0;
    for (;;) {
        const auto nul = input.find('\0', start);
        pieces.push_back(input.substr(start, nul - start));
        if (nul == std::string::npos) {
            break;
        }
        start = nul + 1;
    }
    std::vector<const char*> argv;
    for (const auto& p : pieces) {
        argv.push_back(p.c_str());
    }
    const std::string text = LoaderApp::ArgumentText(static_cast<int>(argv.size()), argv.data());
    FUZZ_CHECK(text.empty() || static_cast<unsigned char>(text[0]) > 0x20);
    FUZZ_CHECK(text.size() <= input.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckArgumentText(text);

    tolvane::test::MemoryWindow wnd(102);
    tolvane::test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    LoaderApp::ReadOptions(text, dlg);

    // " c<d>" selects list entry d - 1 (d = 0 stays 0); " s" and " x" take the digit.
    FUZZ_CHECK(dlg.m_nPortSel >= 0 && dlg.m_nPortSel <= 8);
    FUZZ_CHECK(dlg.m_nBaudSel >= 0 && dlg.m_nBaudSel <= 9);
    FUZZ_CHECK(dlg.m_nVariant >= 0 && dlg.m_nVariant <= 9);
    const auto f = text.find(" f");
    FUZZ_CHECK(dlg.m_bAutoLoad == (f != std::string::npos));
    if (dlg.m_bAutoLoad) {
        FUZZ_CHECK(dlg.m_strCmdFile == text.substr(f + 2));
    } else {
        FUZZ_CHECK(dlg.m_strCmdFile.empty());
    }

    const int portSel = dlg.m_nPortSel;
    const int baudSel = dlg.m_nBaudSel;
    FUZZ_CHECK(dlg.OnInitDialog());

    // The lists show the selections, or none when the number is past the list.
    const auto& portList = wnd.Item(tolvane::res::IDC_PORT);
    const auto& baudList = wnd.Item(tolvane::res::IDC_BAUD);
    FUZZ_CHECK(portList.selection ==
               (portSel < static_cast<int>(portList.items.size()) ? portSel : -1));
    FUZZ_CHECK(baudList.selection ==
               (baudSel < static_cast<int>(baudList.items.size()) ? baudSel : -1));
    FUZZ_CHECK(wnd.timers.count(tolvane::res::kStartTimer) == 1);

    if (dlg.m_bAutoLoad) {
        const std::string& path = dlg.m_strFilePath;
        const std::string& name = dlg.m_strFileName;
        FUZZ_CHECK(path == dlg.m_strCmdFile);
        FUZZ_CHECK(name.find('/') == std::string::npos);
        FUZZ_CHECK(name.size() <= path.size());
        FUZZ_CHECK(path.compare(path.size() - name.size(), name.size(), name) == 0);
        // Nothing of the name is lost but a trailing folder part.
        FUZZ_CHECK(path.size() == name.size() || path[path.size() - name.size() - 1] == '/');
        FUZZ_CHECK(wnd.GetItemText(tolvane::res::IDC_FILE) == name.substr(0, name.find('\0')));
    } else {
        FUZZ_CHECK(dlg.m_strFilePath.empty() && dlg.m_strFileName.empty());
    }
    return 0;
}
