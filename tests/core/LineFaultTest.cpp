#include <gtest/gtest.h>

#include <chrono>

#include "support/ImageFiles.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kPresetBase = 3072 * 128;

long MsSince(Clock::time_point t0) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// An R15 unit with a program file (2,560 blocks) or a small preset file selected.
struct FaultBench : test::SimBench {
    explicit FaultBench(const sim::UnitConfig& config) : test::SimBench(config) {
        dlg->m_bAutoLoad = true;  // no consent question
    }
    void SelectProgram() {
        file = test::MakeProgramImage({});
        dlg->m_strFilePath = dir.Write("BRNR15M_V6.BIN", file);
        dlg->m_strFileName = "BRNR15M_V6.BIN";
    }
    void SelectPreset(std::size_t blocks) {
        file = test::MakePresetFile("Stage", 0x702A3B4C, blocks * 128);
        dlg->m_strFilePath = dir.Write("BRNR15R_STAGE.BIN", file);
        dlg->m_strFileName = "BRNR15R_STAGE.BIN";
    }
    Bytes PresetData() const { return Bytes(file.begin() + 32, file.end()); }
    void ExpectFailedAndResponsive() {
        EXPECT_EQ(wnd.GetItemText(1011), "Load Failed");
        EXPECT_EQ(wnd.GetItemText(1006), "No Connection");
        EXPECT_TRUE(wnd.IsItemEnabled(1009));
        EXPECT_FALSE(wnd.ended);
        EXPECT_TRUE(unit.Snapshot().endFrame.empty());
        // The dialog still answers its handlers.
        dlg->OnSysCommand(16);
        EXPECT_EQ(wnd.aboutRuns, 1);
    }
    test::TempDir dir;
    Bytes file;
};

TEST(LineFaults, LineVanishingMidLoadFailsAtOnceAndTheNextPressReportsThePort) {
    sim::UnitConfig config;
    config.closeAfterBlocks = 100;
    FaultBench b(config);
    ASSERT_TRUE(b.started);
    b.SelectProgram();
    int pumped = 0;
    b.wnd.onDispatch = [&pumped](int) { ++pumped; };
    const auto t0 = Clock::now();
    b.dlg->OnConnectLoad();
    // Well within one block frame's limit of 5,134 ms: a closed line is not waited for.
    EXPECT_LT(MsSince(t0), 5134);
    EXPECT_GT(pumped, 100) << "events were let through while the load ran";
    b.ExpectFailedAndResponsive();

    b.dlg->OnCommand(1009, 0);
    EXPECT_EQ(b.wnd.GetItemText(1011), "Unable to Open Com port");
    EXPECT_EQ(b.wnd.GetItemText(1006), " No Connection");
    EXPECT_FALSE(b.wnd.Item(1011).toolTip.empty());
}

TEST(LineFaults, LateAcknowledgementsWithinTheLimitLetTheLoadFinish) {
    sim::UnitConfig config;
    config.ackDelayMs = 400;
    FaultBench b(config);
    ASSERT_TRUE(b.started);
    b.SelectPreset(3);
    const auto t0 = Clock::now();
    b.dlg->OnConnectLoad();
    EXPECT_GE(MsSince(t0), 4 * 400) << "start frame and three blocks, each answered late";
    EXPECT_EQ(b.wnd.GetItemText(1011), "All Done");
    EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 3 * 128), b.PresetData());
}

TEST(LineFaults, JunkAndStrayAcknowledgementsBetweenFramesAreNeverTakenAsAnAnswer) {
    // Stray FA bytes after every answer; the load goes through untouched.
    {
        sim::UnitConfig config;
        config.garbageAfterReply = 6;
        FaultBench b(config);
        ASSERT_TRUE(b.started);
        b.SelectPreset(6);
        b.dlg->OnConnectLoad();
        EXPECT_EQ(b.wnd.GetItemText(1011), "All Done");
        EXPECT_EQ(b.unit.MemoryImage(kPresetBase, 6 * 128), b.PresetData());
        EXPECT_EQ(b.unit.Snapshot().blockFrames.size(), 6u) << "no frame needed a second try";
    }
    // A block the unit refuses twice fails, though stray FA bytes of the block
    // before were waiting on the line when it was sent.
    {
        sim::UnitConfig config;
        config.garbageAfterReply = 6;
        config.wrongAckTries[3074] = {1, 2};
        FaultBench b(config);
        ASSERT_TRUE(b.started);
        b.SelectPreset(6);
        b.dlg->OnConnectLoad();
        b.ExpectFailedAndResponsive();
        EXPECT_EQ(b.unit.Snapshot().blockFrames.size(), 4u);
    }
    // Junk in front of an answer is no acknowledgement either.
    {
        sim::UnitConfig config;
        config.garbageBeforeReply = 2;
        FaultBench b(config);
        ASSERT_TRUE(b.started);
        b.SelectPreset(2);
        b.dlg->OnConnectLoad();
        // The identity reply itself arrives shifted, so the unit is not recognised.
        EXPECT_NE(b.wnd.GetItemText(1011), "All Done");
        EXPECT_TRUE(b.unit.Snapshot().blockFrames.empty());
    }
}

TEST(LineFaults, APortThatDisappearsBetweenConnectsIsReportedAndAnotherCanBeUsed) {
    FaultBench b({});
    ASSERT_TRUE(b.started);
    b.dlg->OnPortSettingsChanged();
    ASSERT_EQ(b.wnd.GetItemText(1011), "Good Response");

    b.unit.Stop();
    b.unit.Hangup();
    b.dlg->OnPortSettingsChanged();
    EXPECT_EQ(b.wnd.GetItemText(1011), "Unable to Open Com port");
    EXPECT_EQ(b.wnd.GetItemText(1006), " No Connection");
    EXPECT_EQ(b.wnd.GetItemText(1009), "CONNECT");
    EXPECT_FALSE(b.wnd.Item(1011).toolTip.empty());

    sim::SimUnit other;
    ASSERT_TRUE(other.Start());
    setenv("TOLVANE_COM1", other.DevicePath().c_str(), 1);
    b.dlg->OnPortSettingsChanged();
    EXPECT_EQ(b.wnd.GetItemText(1011), "Good Response");
    EXPECT_EQ(b.wnd.Item(1011).toolTip, "");
    b.port.Close();
}

}  // namespace
}  // namespace tolvane
