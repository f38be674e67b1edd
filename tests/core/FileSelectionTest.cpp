#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/LoaderDlg.h"
#include "image/LoadWhat.h"
#include "platform/SerialPort.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace tolvane {
namespace {

struct Loader {
    test::MemoryWindow wnd{102};
    test::PortDouble port;
    LoaderDlg dlg{wnd, port};

    explicit Loader(int model) {
        dlg.DoDataExchange();
        dlg.InitModelCatalogue();
        dlg.m_nModel = model;
        dlg.m_bConnected = 1;
    }
};

TEST(FileSelection, OffersTheFilesOfTheChosenKindForTheModel) {
    const struct {
        int model;
        int loadWhat;
        const char* filter;
        const char* initialName;
    } cases[] = {
        {1, 0, "Programs (BRNR13M*.bin)|BRNR13M*.bin||", "BRNR13M*.bin"},
        {1, 2, "Presets (BRNR13R*.bin)|BRNR13R*.bin||", "BRNR13R*.bin"},
        {2, 0, "Programs (BRNR15M*.bin)|BRNR15M*.bin||", "BRNR15M*.bin"},
        {2, 2, "Presets (BRNR15R*.bin)|BRNR15R*.bin||", "BRNR15R*.bin"},
        {3, 0, "Programs (BRN15SM*.bin)|BRN15SM*.bin||", "BRN15SM*.bin"},
        {3, 2, "Presets (BRNR15R*.bin)|BRNR15R*.bin||", "BRNR15R*.bin"},
        {0, 0, "Programs (  M*.bin)|  M*.bin||", "  M*.bin"},
        {0, 2, "Presets (  R*.bin)|  R*.bin||", "  R*.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model) + ", kind " + std::to_string(c.loadWhat));
        Loader l(c.model);
        l.wnd.loadWhatAnswers.push_back(c.loadWhat);
        l.dlg.OnBrowse();
        EXPECT_EQ(l.wnd.loadWhatRuns, 1);
        EXPECT_EQ(l.dlg.m_nLoadWhat, c.loadWhat);
        ASSERT_EQ(l.wnd.fileRequests.size(), 1u);
        const OpenFileRequest& r = l.wnd.fileRequests[0];
        EXPECT_EQ(r.filter, c.filter);
        EXPECT_EQ(r.initialName, c.initialName);
        EXPECT_EQ(r.defaultExt, "bin");
        EXPECT_TRUE(r.fileMustExist);
        EXPECT_TRUE(r.noChangeDir);
        EXPECT_TRUE(r.hideReadOnly);
    }
}

TEST(FileSelection, TakesTheChosenFileAndChecksItAtOnce) {
    char templ[] = "/tmp/tolvane-select-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const std::string dir = templ;
    const std::string path = dir + "/brnr15r01.bin";
    {
        // A preset file for model 2: name "Live", identity code 0x702A3B4C at 60.
        std::vector<char> bytes(32 + 2 * 128, '\x11');
        std::fill(bytes.begin(), bytes.begin() + 32, '\0');
        std::copy_n("Live", 4, bytes.begin());
        const char code[] = {'\x4C', '\x3B', '\x2A', '\x70'};
        std::copy_n(code, 4, bytes.begin() + 60);
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }

    Loader l(2);
    l.wnd.loadWhatAnswers.push_back(2);
    l.wnd.fileAnswers.push_back({true, path, "brnr15r01.bin"});
    l.wnd.fileAnswers.push_back({true, dir + "/BRNR15R02.BIN", "BRNR15R02.BIN"});
    l.dlg.OnBrowse();
    EXPECT_EQ(l.dlg.m_strFilePath, path);
    EXPECT_EQ(l.wnd.GetItemText(1000), "brnr15r01.bin");
    EXPECT_EQ(l.dlg.m_strFileName, "BRNR15R01.BIN");
    EXPECT_EQ(l.wnd.GetItemText(1002), " Preset File");
    EXPECT_EQ(l.wnd.GetItemText(1003), "Live");
    EXPECT_EQ(l.dlg.m_bFileValid, 1);
    EXPECT_EQ(l.dlg.m_nBlocks, 2u);
    EXPECT_EQ(l.wnd.GetItemText(1009), "Load Now");
    EXPECT_TRUE(l.wnd.IsItemEnabled(1009));

    // A second choice that vanished before the check: refused, Load disabled.
    l.dlg.OnBrowse();
    EXPECT_EQ(l.wnd.GetItemText(1000), "BRNR15R02.BIN");
    EXPECT_EQ(l.wnd.GetItemText(1002), " Error in File");
    EXPECT_EQ(l.wnd.GetItemText(1003), " Not Found");
    EXPECT_EQ(l.dlg.m_bFileValid, 0);
    EXPECT_FALSE(l.wnd.IsItemEnabled(1009));

    std::filesystem::remove_all(dir);
}

TEST(FileSelection, CancelKeepsTheFileButNotTheKind) {
    Loader l(3);
    l.dlg.m_nLoadWhat = 2;
    l.dlg.m_strFilePath = "/data/BRNR15R01.BIN";
    l.dlg.m_strFileName = "BRNR15R01.BIN";
    l.wnd.SetItemText(1000, "BRNR15R01.BIN");
    l.wnd.textLog.clear();

    l.wnd.loadWhatAnswers.push_back(0);
    l.wnd.fileAnswers.push_back({false, "/data/BRN15SM0300.BIN", "BRN15SM0300.BIN"});
    l.dlg.OnBrowse();

    EXPECT_EQ(l.dlg.m_nLoadWhat, 0);
    EXPECT_EQ(l.dlg.m_strFilePath, "/data/BRNR15R01.BIN");
    EXPECT_EQ(l.dlg.m_strFileName, "BRNR15R01.BIN");
    EXPECT_EQ(l.wnd.GetItemText(1000), "BRNR15R01.BIN");
    EXPECT_TRUE(l.wnd.textLog.empty());  // nothing checked, nothing shown
    ASSERT_EQ(l.wnd.fileRequests.size(), 1u);
    EXPECT_EQ(l.wnd.fileRequests[0].initialName, "BRN15SM*.bin");
}

TEST(FileSelection, WhatToLoadEndsWithProgramOnlyForTheProgramButton) {
    enum Action { ClickProgram, ClickPreset, Enter, Escape, CancelCommand };
    const struct {
        Action action;
        int result;
    } cases[] = {
        {ClickProgram, 0}, {ClickPreset, 2}, {Enter, 2}, {Escape, 2}, {CancelCommand, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        test::MemoryWindow wnd(130);
        LoadWhat dlg(wnd);
        wnd.DoModal(dlg);  // initialises, then returns: no timer runs
        EXPECT_EQ(wnd.Item(1014).bitmap, 133);
        EXPECT_EQ(wnd.Item(1015).bitmap, 134);
        EXPECT_EQ(dlg.m_btnProgram.Id(), 1014);
        EXPECT_EQ(dlg.m_btnPreset.Id(), 1015);

        // Other notifications and controls leave the dialog open.
        dlg.OnCommand(1014, 1);
        dlg.OnCommand(1016, 0);
        EXPECT_FALSE(wnd.ended);

        switch (c.action) {
            case ClickProgram:
                dlg.OnCommand(1014, 0);
                break;
            case ClickPreset:
                dlg.OnCommand(1015, 0);
                break;
            case Enter:
                dlg.OnOK();
                break;
            case Escape:
                dlg.OnCancel();
                break;
            case CancelCommand:
                dlg.OnCommand(2, 0);
                break;
        }
        EXPECT_TRUE(wnd.ended);
        EXPECT_EQ(wnd.endResult, c.result);
    }
}

TEST(FileSelection, WhatToLoadAsksForTheFocusOnItsFirstTabStop) {
    test::MemoryWindow wnd(130);
    LoadWhat dlg(wnd);
    EXPECT_TRUE(dlg.OnInitDialog());
}

}  // namespace
}  // namespace tolvane
