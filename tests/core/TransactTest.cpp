#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/PortDouble.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void PutIdentityRequest(LoaderDlg& dlg) {
    dlg.m_txBuf[0] = 0xE0;
    dlg.m_txBuf[1] = 0x01;
}

TEST(Transact, ReturnsTheReplyLengthOnceTheWholeReplyHasArrived) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    PutIdentityRequest(*bench.dlg);
    // A long allowance: the read must end when the 30 bytes are in, not at the limit.
    const auto t0 = Clock::now();
    EXPECT_EQ(bench.dlg->Transact(2, 30, 5000, 0), 30);
    EXPECT_LT(ElapsedMs(t0), 4000);
    EXPECT_EQ(bench.dlg->m_rxBuf[0], 0xE8);
    EXPECT_EQ(bench.dlg->m_rxBuf[2], 0x1C);
}

TEST(Transact, ShortReplyCountsOnlyWhenAccepted) {
    sim::UnitConfig config;
    config.identityReplyLen = 20;
    test::SimBench bench(config);
    ASSERT_TRUE(bench.started);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);

    PutIdentityRequest(*bench.dlg);
    auto t0 = Clock::now();
    EXPECT_EQ(bench.dlg->Transact(2, 30, 0, 1), 20);
    EXPECT_GE(ElapsedMs(t0), 32 - 1);  // the read waits out the limit of 1 ms x 32 bytes

    PutIdentityRequest(*bench.dlg);
    t0 = Clock::now();
    EXPECT_EQ(bench.dlg->Transact(2, 30, 0, 0), -2);
    EXPECT_GE(ElapsedMs(t0), 32 - 1);
}

TEST(Transact, NothingReceivedGivesZeroAfterTheFullLimitScaledBySpeed) {
    sim::UnitConfig config;
    config.silent = true;
    struct Case {
        int baudSel;
        int extraMs;
        long limitMs;
    };
    const Case cases[] = {{0, 0, 32}, {0, 300, 332}, {4, 300, 664}};
    test::SimBench bench(config);
    ASSERT_TRUE(bench.started);
    for (const auto& c : cases) {
        bench.wnd.SetCurSel(1005, c.baudSel);
        ASSERT_EQ(bench.dlg->OpenPort(), 0);
        PutIdentityRequest(*bench.dlg);
        const auto t0 = Clock::now();
        EXPECT_EQ(bench.dlg->Transact(2, 30, c.extraMs, 1), 0);
        const long took = ElapsedMs(t0);
        EXPECT_GE(took, c.limitMs - 1) << c.baudSel << "/" << c.extraMs;
        EXPECT_LT(took, c.limitMs + 3000);
    }
}

TEST(Transact, DiscardsBytesThatArrivedBeforeTheRequest) {
    sim::UnitConfig config;
    config.replyDelayMs = 100;
    test::SimBench bench(config);
    ASSERT_TRUE(bench.started);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    // The identity reply comes after its 32 ms limit ...
    PutIdentityRequest(*bench.dlg);
    EXPECT_EQ(bench.dlg->Transact(2, 30, 0, 1), 0);
    // ... and is waiting in the input when the next request goes out.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    bench.dlg->m_txBuf[0] = 0xB0;
    bench.dlg->m_txBuf[1] = 0x01;
    ASSERT_EQ(bench.dlg->Transact(2, 21, 2000, 0), 21);
    EXPECT_NE(bench.dlg->m_rxBuf[0], 0xE8) << "the stale identity reply was taken as the answer";
    EXPECT_EQ(std::string(bench.dlg->m_rxBuf.begin() + 14, bench.dlg->m_rxBuf.begin() + 20),
              config.versionText);
}

struct DoubleBench {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg{wnd, port};
    DoubleBench() {
        port.Open("double");
        dlg.m_nMsPerByte = 1;
    }
};

TEST(Transact, GivesUpWithoutSendingWhenCtsHoldsForThreeSeconds) {
    DoubleBench b;
    b.port.ctsHeld = true;
    PutIdentityRequest(b.dlg);
    const auto t0 = Clock::now();
    EXPECT_EQ(b.dlg.Transact(2, 30, 0, 1), -1);
    const long took = ElapsedMs(t0);
    EXPECT_GE(took, 3000);
    EXPECT_LT(took, 8000);
    EXPECT_TRUE(b.port.written.empty());
}

TEST(Transact, PurgesBeforeAndAfterTheCtsWaitThenWritesAndReads) {
    DoubleBench b;
    b.port.replies.push_back({0xFA});
    b.port.calls.clear();
    EXPECT_EQ(b.dlg.Transact(133, 1, 5000, 0), 1);
    const std::vector<std::string> expected = {"purge", "cts", "purge", "write", "read"};
    EXPECT_EQ(b.port.calls, expected);
}

TEST(Transact, WithoutReplyWaitsForTheTransmitterEvenAfterAShortWrite) {
    DoubleBench b;
    b.port.calls.clear();
    EXPECT_EQ(b.dlg.Transact(133, 0, 0, 0), 0);
    ASSERT_GE(b.port.calls.size(), 2u);
    EXPECT_EQ(b.port.calls[b.port.calls.size() - 2], "write");
    EXPECT_EQ(b.port.calls.back(), "txempty");

    b.port.writeLimit = 100;
    b.port.calls.clear();
    EXPECT_EQ(b.dlg.Transact(133, 0, 0, 0), -1);
    EXPECT_EQ(b.port.calls.back(), "txempty");
}

TEST(Transact, ShortWriteWithReplyAwaitedReadsNothing) {
    DoubleBench b;
    b.port.writeLimit = 1;
    b.port.replies.push_back({0xFA});
    EXPECT_EQ(b.dlg.Transact(8, 1, 10000, 0), -1);
    EXPECT_TRUE(b.port.readTimeouts.empty());
}

TEST(Transact, ReadLimitIsMsPerByteTimesBytesPlusAllowance) {
    struct Case {
        int tx, rx, extra;
        std::uint32_t ms;
        std::uint32_t limit;
    };
    const Case cases[] = {{2, 30, 0, 1, 32},       {2, 21, 0, 1, 23},       {8, 1, 10000, 1, 10009},
                          {133, 1, 5000, 1, 5134}, {2, 30, 0, 2, 64},       {2, 21, 0, 2, 46},
                          {8, 1, 10000, 2, 20018}, {133, 1, 5000, 2, 10268}};
    for (const auto& c : cases) {
        DoubleBench b;
        b.dlg.m_nMsPerByte = c.ms;
        b.dlg.Transact(c.tx, c.rx, c.extra, 0);
        ASSERT_EQ(b.port.readTimeouts.size(), 1u);
        EXPECT_EQ(b.port.readTimeouts[0], c.limit) << c.tx << "/" << c.rx << "/" << c.ms;
    }
}

TEST(Transact, WaitsTheTwoMillisecondGapBeforeEveryRequest) {
    DoubleBench b;
    const auto t0 = Clock::now();
    for (int i = 0; i < 10; ++i) {
        b.dlg.Transact(2, 0, 0, 0);
    }
    // Each gap is at least one full tick past a 2 ms step of the tick count.
    EXPECT_GE(ElapsedMs(t0), 10);
}

}  // namespace
}  // namespace tolvane
