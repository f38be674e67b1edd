#include <gtest/gtest.h>

#include "support/PortDouble.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

TEST(LoaderWindow, InitialisationSetsMenuIconTitleBannerCatalogueAndStartTimer) {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    dlg.m_bType78 = 1;
    dlg.m_bType10 = 1;
    EXPECT_TRUE(dlg.OnInitDialog());
    EXPECT_EQ(wnd.systemMenu,
              (std::vector<std::pair<int, std::string>>{{16, "&About Tolvane..."}}));
    EXPECT_EQ(wnd.icon, 142);
    EXPECT_EQ(wnd.GetTitle(), "Brennic Tolvane  V 1.50");
    EXPECT_EQ(wnd.Item(1013).bitmap, 135);
    EXPECT_EQ(dlg.m_bType78, 0);
    EXPECT_EQ(dlg.m_bType10, 0);
    EXPECT_EQ(dlg.m_unitIds[2], 0x701C361Au);
    EXPECT_EQ(dlg.m_presetIds[3], 0x702A3B4Cu);
    EXPECT_EQ(wnd.timers, (std::map<int, unsigned>{{33, 200}}));
    EXPECT_EQ(wnd.GetCurSel(1004), 0);
    EXPECT_EQ(wnd.GetCurSel(1005), 0);
    EXPECT_EQ(wnd.GetItemText(1011), "<Main Status>")
        << "placeholders stay until the first connect";
    EXPECT_EQ(dlg.OnQueryDragIcon(), 142);
}

TEST(LoaderWindow, SystemCommandsSixteenToThirtyOneOpenTheAboutBox) {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    for (int command = 0; command < 64; ++command) {
        const int before = wnd.aboutRuns;
        dlg.OnSysCommand(command);
        EXPECT_EQ(wnd.aboutRuns - before, command >= 16 && command <= 31 ? 1 : 0) << command;
    }
    const int before = wnd.aboutRuns;
    dlg.OnSysCommand(0xF060);  // close
    EXPECT_EQ(wnd.aboutRuns, before);
}

TEST(LoaderWindow, OnlyTheStatusFieldsArePaleYellow) {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    for (int id = 0; id < 1100; ++id) {
        const bool field =
            id == 1002 || id == 1003 || (id >= 1006 && id <= 1008) || id == 1011 || id == 1012;
        EXPECT_EQ(dlg.OnCtlColor(id), field ? 0x00C8FFFF : -1) << id;
    }
}

TEST(LoaderWindow, QuitEnterEscapeAndCloseEndTheDialog) {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    dlg.OnCommand(1, 0);
    EXPECT_TRUE(wnd.ended);
    EXPECT_EQ(wnd.endResult, 1);
    wnd.ended = false;
    dlg.OnCancel();
    EXPECT_TRUE(wnd.ended);
    EXPECT_EQ(wnd.endResult, 2);
}

TEST(LoaderWindow, StartTimerConnectsOnceAndOffersTheFileChoiceOnlyWithAUnit) {
    // A unit answers: the "What to Load" dialog opens at once.
    {
        test::SimBench bench;
        ASSERT_TRUE(bench.started);
        bench.dlg->OnInitDialog();
        bench.dlg->OnTimer(34);
        EXPECT_EQ(bench.wnd.GetItemText(1011), "<Main Status>") << "other timers do nothing";
        bench.dlg->OnTimer(33);
        EXPECT_TRUE(bench.wnd.timers.empty()) << "the start timer acts once";
        EXPECT_EQ(bench.wnd.GetItemText(1011), "Good Response");
        EXPECT_EQ(bench.wnd.loadWhatRuns, 1);
        EXPECT_EQ(bench.wnd.fileRequests.size(), 1u);
    }
    // Nothing answers: the failure shows, no file dialog opens.
    {
        sim::UnitConfig silent;
        silent.silent = true;
        test::SimBench bench(silent);
        ASSERT_TRUE(bench.started);
        bench.dlg->OnInitDialog();
        bench.dlg->OnTimer(33);
        EXPECT_EQ(bench.wnd.GetItemText(1011), "No Response");
        EXPECT_EQ(bench.wnd.GetItemText(1006), " No Connection");
        EXPECT_EQ(bench.wnd.loadWhatRuns, 0);
        EXPECT_TRUE(bench.wnd.fileRequests.empty());
    }
}

TEST(LoaderWindow, ListChangesReconnectAndButtonsRunTheirHandlers) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    bench.wnd.SetCurSel(1005, 1);
    bench.dlg->OnCommand(1005, 1);  // a new speed
    EXPECT_EQ(bench.wnd.GetItemText(1011), "Good Response");
    EXPECT_EQ(bench.unit.Snapshot().identityRequests, 1);
    setenv("TOLVANE_COM2", bench.unit.DevicePath().c_str(), 1);
    bench.wnd.SetCurSel(1004, 1);
    bench.dlg->OnCommand(1004, 1);  // a new port
    EXPECT_EQ(bench.unit.Snapshot().identityRequests, 2);
    bench.dlg->OnCommand(1001, 0);  // "..."
    EXPECT_EQ(bench.wnd.loadWhatRuns, 1);
    bench.dlg->OnCommand(1009, 0);  // "Load Now" without a file: connects again, loads nothing
    EXPECT_EQ(bench.unit.Snapshot().identityRequests, 3);
    EXPECT_TRUE(bench.unit.Snapshot().startFrames.empty());
    unsetenv("TOLVANE_COM2");
}

}  // namespace
}  // namespace tolvane
