// The simulated unit, driven from the terminal side of its pty with plain POSIX calls.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimUnit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr int kWaitMs = 3000;  // upper bound for anything that should arrive
constexpr int kQuietMs = 300;  // how long "nothing arrives" is watched

// The loader's end of the line.
class Line {
  public:
    explicit Line(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Line() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    bool Write(const Bytes& b) const {
        return ::write(m_fd, b.data(), b.size()) == static_cast<ssize_t>(b.size());
    }

    // Up to n bytes; returns early when all arrived, when the line hangs up, or at the deadline.
    Bytes Read(std::size_t n, int timeoutMs = kWaitMs) const {
        Bytes out;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            std::uint8_t buf[256];
            const ssize_t got = ::read(m_fd, buf, std::min(sizeof buf, n - out.size()));
            if (got <= 0) {
                break;
            }
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

    // True once a read reports the other side gone (hang-up, end of file or EIO).
    bool SeesHangup(int timeoutMs = kWaitMs) const {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            if ((p.revents & POLLHUP) != 0) {
                return true;
            }
            std::uint8_t buf[256];
            const ssize_t got = ::read(m_fd, buf, sizeof buf);
            if (got == 0 || (got < 0 && errno == EIO)) {
                return true;
            }
        }
    }

  private:
    int m_fd;
};

const Bytes kIdentityRequest = {0xE0, 0x01};
const Bytes kVersionRequest = {0xB0, 0x01};
const Bytes kAck = {0xFA};
const Bytes kNak = {0xFB};

Bytes StartFrame(std::uint8_t type) {
    return {0xF0, 0x00, 0x07, type,
            0x01, 0x2A, 0x2C, static_cast<std::uint8_t>((type - 0x32) & 0x7F)};
}

// F0, 24-bit address MSB first, 128 bytes, sum of bytes 1..131.
Bytes Frame(std::uint32_t address, const Bytes& payload) {
    Bytes f = {0xF0, static_cast<std::uint8_t>(address >> 16),
               static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    f.insert(f.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (std::size_t i = 1; i < f.size(); ++i) {
        sum += f[i];
    }
    f.push_back(static_cast<std::uint8_t>(sum));
    return f;
}

Bytes BlockFrame(std::uint32_t block, const Bytes& payload) {
    return Frame((block * 128) & 0xFFFFFF, payload);
}

Bytes Fill(std::uint8_t value) {
    return Bytes(128, value);
}

Bytes Counting(std::uint8_t from) {
    Bytes b(128);
    for (std::size_t i = 0; i < b.size(); ++i) {
        b[i] = static_cast<std::uint8_t>(from + i);
    }
    return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class SimUnitFixture : public ::testing::Test {
  protected:
    void Begin(const tolvane::sim::UnitConfig& config = {}) {
        m_line.reset();
        m_unit = std::make_unique<tolvane::sim::SimUnit>(config);
        ASSERT_TRUE(m_unit->Start());
        ASSERT_EQ(m_unit->DevicePath().rfind("/dev/pts/", 0), 0u) << m_unit->DevicePath();
        m_line = std::make_unique<Line>(m_unit->DevicePath());
        ASSERT_TRUE(m_line->IsOpen());
    }
    Bytes Ask(const Bytes& request, std::size_t replyLen, int timeoutMs = kWaitMs) {
        EXPECT_TRUE(m_line->Write(request));
        return m_line->Read(replyLen, timeoutMs);
    }
    void StartLoad() { ASSERT_EQ(Ask(StartFrame(0x70), 1), kAck); }

    std::unique_ptr<tolvane::sim::SimUnit> m_unit;
    std::unique_ptr<Line> m_line;
};

using SimUnitReplies = SimUnitFixture;
using SimUnitLoad = SimUnitFixture;
using SimUnitFaults = SimUnitFixture;
using SimUnitLine = SimUnitFixture;

Bytes Zeros(std::size_t n) {
    return Bytes(n, 0x00);
}

TEST_F(SimUnitReplies, AnswerEachRequestWithExactlyItsBytes) {
    struct Case {
        const char* name;
        std::function<void(tolvane::sim::UnitConfig&)> setup;
        Bytes request;
        Bytes reply;
    };
    const Bytes r15 = {0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05, 0x00};
    const Bytes version =
        Concat(Concat({0xB8, 0x00, 0x14, 0x00}, Zeros(10)), {'R', '1', '5', 'v', '0', '1', 0x00});
    const Case cases[] = {
        {"long reply, R15, firmware 148, version 5", [](auto&) {}, kIdentityRequest,
         Concat(r15, Zeros(18))},
        {"long reply, R13, firmware 150",
         [](auto& c) {
             c.identityCode = 0x701A365A;
             c.firmware = 150;
         },
         kIdentityRequest,
         Concat({0xE8, 0x00, 0x1C, 0x00, 0x5A, 0x36, 0x1A, 0x70, 0x69, 0x01, 0x05, 0x00},
                Zeros(18))},
        {"long reply, high parts of firmware 404 and version 300, 29 bytes sent",
         [](auto& c) {
             c.identityCode = 0x701C2C39;
             c.firmware = 404;
             c.version = 300;
             c.identityReplyLen = 29;
         },
         kIdentityRequest,
         Concat({0xE8, 0x00, 0x1C, 0x00, 0x39, 0x2C, 0x1C, 0x70, 0x6B, 0x03, 0x2C, 0x02},
                Zeros(17))},
        {"short reply, type 78",
         [](auto& c) { c.shortReply = true; },
         kIdentityRequest,
         {0xE8, 0x00, 0x09, 0x00, 0x78, 0x14, 0x01, 0x05, 0x00, 0x00}},
        {"short reply, type 10, 12 bytes sent",
         [](auto& c) {
             c.shortReply = true;
             c.shortType = 0x10;
             c.shortReplyLen = 12;
         },
         kIdentityRequest,
         {0xE8, 0x00, 0x09, 0x00, 0x10, 0x14, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00}},
        {"raw identity reply",
         [](auto& c) {
             c.rawIdentityReply = {0xE8, 0x01, 0x1C};
         },
         kIdentityRequest,
         {0xE8, 0x01, 0x1C}},
        {"version reply", [](auto&) {}, kVersionRequest, version},
        {"version reply, short text padded with zeros, 20 bytes sent",
         [](auto& c) {
             c.versionText = "R1";
             c.versionReplyLen = 20;
         },
         kVersionRequest,
         Concat(Concat({0xB8, 0x00, 0x14, 0x00}, Zeros(10)), {'R', '1', 0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tolvane::sim::UnitConfig config;
        c.setup(config);
        Begin(config);
        // A second request in the same write: its reply must follow the first at once,
        // which shows the first reply had exactly the expected length.
        const Bytes follow = c.request == kIdentityRequest ? kVersionRequest : kIdentityRequest;
        const Bytes got = Ask(Concat(c.request, follow), c.reply.size() + 1);
        ASSERT_EQ(got.size(), c.reply.size() + 1);
        EXPECT_EQ(Bytes(got.begin(), got.end() - 1), c.reply);
        EXPECT_EQ(got.back(), follow == kVersionRequest ? 0xB8 : 0xE8);
        const auto seen = m_unit->Snapshot();
        EXPECT_EQ(seen.identityRequests, 1);
        EXPECT_EQ(seen.versionRequests, 1);
    }
}

TEST_F(SimUnitLoad, StartFrameIsAcknowledgedOnlyWithItsCheckByte) {
    struct Case {
        Bytes frame;
        Bytes reply;
        int badChecksums;
    };
    Bytes wrongCheck = StartFrame(0x70);
    wrongCheck[7] ^= 0x01;
    const Case cases[] = {
        {{0xF0, 0x00, 0x07, 0x6E, 0x01, 0x2A, 0x2C, 0x3C}, kAck, 0},
        {{0xF0, 0x00, 0x07, 0x70, 0x01, 0x2A, 0x2C, 0x3E}, kAck, 0},
        {{0xF0, 0x00, 0x07, 0x78, 0x01, 0x2A, 0x2C, 0x46}, kAck, 0},
        {{0xF0, 0x00, 0x07, 0x10, 0x01, 0x2A, 0x2C, 0x5E}, kAck, 0},
        {wrongCheck, kNak, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.frame));
        Begin();
        EXPECT_EQ(Ask(c.frame, 1), c.reply);
        const auto seen = m_unit->Snapshot();
        ASSERT_EQ(seen.startFrames.size(), 1u);
        EXPECT_EQ(seen.startFrames[0], c.frame);
        EXPECT_EQ(seen.badChecksums, c.badChecksums);
    }
}

TEST_F(SimUnitLoad, BlockFrameIsStoredAtItsAddress) {
    struct Case {
        std::uint32_t block;
        Bytes addressBytes;
        Bytes payload;
        std::uint8_t checksum;
    };
    const Case cases[] = {
        {0, {0x00, 0x00, 0x00}, Counting(0), 0xC0},   {1, {0x00, 0x00, 0x80}, Fill(0x00), 0x80},
        {511, {0x00, 0xFF, 0x80}, Fill(0x5A), 0x7F},  {3072, {0x06, 0x00, 0x00}, Fill(0x00), 0x06},
        {3073, {0x06, 0x00, 0x80}, Fill(0x00), 0x86},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        const Bytes frame = BlockFrame(c.block, c.payload);
        ASSERT_EQ(Bytes(frame.begin() + 1, frame.begin() + 4), c.addressBytes);
        ASSERT_EQ(frame.back(), c.checksum);
        Begin();
        StartLoad();
        EXPECT_EQ(Ask(frame, 1), kAck);
        const auto seen = m_unit->Snapshot();
        ASSERT_EQ(seen.memory.size(), 1u);
        EXPECT_EQ(seen.memory.begin()->first, c.block * 128);
        EXPECT_EQ(m_unit->MemoryImage(c.block * 128, 128), c.payload);
        EXPECT_EQ(seen.blockFrames, std::vector<Bytes>{frame});
        EXPECT_EQ(seen.badChecksums, 0);
        EXPECT_EQ(seen.outOfSequence, 0);
    }
}

TEST_F(SimUnitLoad, BlockFrameWithBadChecksumIsRejectedThenItsRetryStored) {
    Begin();
    StartLoad();
    const Bytes good = BlockFrame(2, Counting(7));
    Bytes bad = good;
    bad.back() ^= 0x01;
    EXPECT_EQ(Ask(bad, 1), kNak);
    EXPECT_TRUE(m_unit->Snapshot().memory.empty());
    EXPECT_EQ(Ask(good, 1), kAck);
    const auto seen = m_unit->Snapshot();
    EXPECT_EQ(seen.badChecksums, 1);
    EXPECT_EQ(seen.blockFrames, (std::vector<Bytes>{bad, good}));
    EXPECT_EQ(seen.outOfSequence, 0);
    EXPECT_EQ(m_unit->MemoryImage(256, 128), Counting(7));
}

TEST_F(SimUnitLoad, CountsBlocksOutOfSequence) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> blocks;
        int outOfSequence;
    };
    const Case cases[] = {
        {"rising by one", {0, 1, 2}, 0},
        {"skipping erased blocks", {3072, 3075, 3100}, 0},
        {"going backwards", {5, 4}, 1},
        {"repeating an acknowledged block", {0, 1, 1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Begin();
        StartLoad();
        for (const std::uint32_t b : c.blocks) {
            EXPECT_EQ(Ask(BlockFrame(b, Fill(0x11)), 1), kAck);
        }
        EXPECT_EQ(m_unit->Snapshot().outOfSequence, c.outOfSequence);
    }
    // An address between block boundaries.
    Begin();
    StartLoad();
    EXPECT_EQ(Ask(Frame(0x000040, Fill(0x11)), 1), kAck);
    EXPECT_EQ(m_unit->Snapshot().outOfSequence, 1);
}

TEST_F(SimUnitLoad, MemoryImageIsFlatWithFFWhereNothingWasWritten) {
    Begin();
    StartLoad();
    ASSERT_EQ(Ask(BlockFrame(1, Fill(0x01)), 1), kAck);
    ASSERT_EQ(Ask(BlockFrame(3, Fill(0x03)), 1), kAck);
    Bytes expected = Concat(Concat(Bytes(64, 0xFF), Fill(0x01)), Fill(0xFF));
    expected = Concat(expected, Bytes(64, 0x03));
    EXPECT_EQ(m_unit->MemoryImage(64, 384), expected);
}

TEST_F(SimUnitLoad, EndFrameIsRecordedUnansweredAndEndsTheLoad) {
    Begin();
    StartLoad();
    ASSERT_EQ(Ask(BlockFrame(0, Fill(0x00)), 1), kAck);
    const Bytes end = Frame(0xFFFFFF, Fill(0xFF));
    ASSERT_EQ(end.back(), 0x7D);
    // The version reply comes first: nothing answered the end frame.
    EXPECT_EQ(Ask(Concat(end, kVersionRequest), 1), Bytes{0xB8});
    EXPECT_TRUE(m_unit->WaitForEndFrame(kWaitMs));
    const auto seen = m_unit->Snapshot();
    EXPECT_EQ(seen.endFrame, end);
    EXPECT_EQ(seen.badChecksums, 0);
    m_line->Read(20);
    // Out of the load, F0 begins an 8-byte start frame again.
    EXPECT_EQ(Ask(StartFrame(0x6E), 1), kAck);
    EXPECT_EQ(m_unit->Snapshot().startFrames.size(), 2u);
}

TEST_F(SimUnitLoad, EndFrameWithBadChecksumStillEndsTheLoad) {
    Begin();
    StartLoad();
    Bytes end = Frame(0xFFFFFF, Counting(1));
    end.back() ^= 0x80;
    ASSERT_TRUE(m_line->Write(end));
    EXPECT_TRUE(m_unit->WaitForEndFrame(kWaitMs));
    EXPECT_EQ(m_unit->Snapshot().endFrame, end);
    EXPECT_EQ(m_unit->Snapshot().badChecksums, 1);
    EXPECT_EQ(Ask(StartFrame(0x70), 1), kAck);
}

TEST_F(SimUnitLoad, IdentityRequestBeginsANewConnect) {
    Begin();
    StartLoad();
    EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
    // Were the load still going, F0 would begin a 133-byte frame and nothing would answer.
    EXPECT_EQ(Ask(StartFrame(0x70), 1), kAck);
}

TEST_F(SimUnitFaults, WrongAcknowledgementOnTheListedTriesOnly) {
    tolvane::sim::UnitConfig config;
    config.wrongAckTries[1] = {1};
    config.wrongAckTries[2] = {1, 2};
    Begin(config);
    StartLoad();
    EXPECT_EQ(Ask(BlockFrame(0, Fill(0x00)), 1), kAck);
    EXPECT_EQ(Ask(BlockFrame(1, Fill(0x01)), 1), kNak);
    EXPECT_EQ(m_unit->Snapshot().memory.count(128), 0u);
    EXPECT_EQ(Ask(BlockFrame(1, Fill(0x01)), 1), kAck);
    EXPECT_EQ(Ask(BlockFrame(2, Fill(0x02)), 1), kNak);
    EXPECT_EQ(Ask(BlockFrame(2, Fill(0x02)), 1), kNak);
    // Tries go on counting across a new connect.
    EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
    StartLoad();
    EXPECT_EQ(Ask(BlockFrame(2, Fill(0x02)), 1), kAck);
    const auto seen = m_unit->Snapshot();
    EXPECT_EQ(seen.blockFrames.size(), 6u);
    EXPECT_EQ(seen.memory.size(), 3u);
    EXPECT_EQ(seen.outOfSequence, 0);
    EXPECT_EQ(seen.badChecksums, 0);
}

TEST_F(SimUnitFaults, GarbageComesInTheSameBurstBeforeEveryReply) {
    tolvane::sim::UnitConfig config;
    config.garbageBeforeReply = 3;
    Begin(config);
    const Bytes garbage = {0x55, 0xFA, 0x00};
    const Bytes reply = Ask(kIdentityRequest, 33);
    ASSERT_EQ(reply.size(), 33u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), Concat(garbage, {0xE8}));
    EXPECT_EQ(Ask(StartFrame(0x70), 4), Concat(garbage, kAck));
    EXPECT_EQ(Ask(BlockFrame(0, Fill(0x00)), 4), Concat(garbage, kAck));
    // The loader may take the garbage for a missing acknowledgement and send the block again.
    EXPECT_EQ(Ask(BlockFrame(0, Fill(0x00)), 4), Concat(garbage, kAck));
    EXPECT_EQ(m_unit->Snapshot().outOfSequence, 0);
}

TEST_F(SimUnitFaults, SilenceWhereConfigured) {
    tolvane::sim::UnitConfig silent;
    silent.silent = true;
    Begin(silent);
    EXPECT_TRUE(Ask(kIdentityRequest, 1, kQuietMs).empty());
    EXPECT_TRUE(Ask(StartFrame(0x70), 1, kQuietMs).empty());
    EXPECT_EQ(m_unit->Snapshot().identityRequests, 1);
    EXPECT_EQ(m_unit->Snapshot().startFrames.size(), 1u);

    tolvane::sim::UnitConfig quietStart;
    quietStart.silentOnStart = true;
    Begin(quietStart);
    EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
    EXPECT_TRUE(Ask(StartFrame(0x70), 1, kQuietMs).empty());
    // The start frame still began the load.
    EXPECT_EQ(Ask(BlockFrame(0, Fill(0x00)), 1), kAck);
}

TEST_F(SimUnitFaults, RepliesNeverArriveEarlierThanModelled) {
    struct Case {
        const char* name;
        int delayMs;
        std::uint32_t baud;
        int minMs;
    };
    const Case cases[] = {
        {"late reply", 150, 0, 150},
        // 2 request bytes and 30 reply bytes at 10 bits each.
        {"paced at 2400 bit/s", 0, 2400, (2 + 30) * 10 * 1000 / 2400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tolvane::sim::UnitConfig config;
        config.replyDelayMs = c.delayMs;
        config.paceBaud = c.baud;
        Begin(config);
        const auto sent = Clock::now();
        EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
        EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(c.minMs));
    }
}

TEST_F(SimUnitLine, DropsAndCountsBytesThatBeginNoRequest) {
    Begin();
    EXPECT_EQ(Ask(Concat({0x11, 0xFA, 0xE0, 0x05}, kIdentityRequest), 30).size(), 30u);
    EXPECT_EQ(m_unit->Snapshot().junkBytes, 4);
}

TEST_F(SimUnitLine, DropsARequestLeftUnfinishedOnAQuietLine) {
    Begin();
    ASSERT_TRUE(m_line->Write({0xF0, 0x00, 0x07}));
    ASSERT_TRUE(WaitUntil([&] { return m_unit->Snapshot().incompleteRequests == 1; }));
    EXPECT_EQ(Ask(StartFrame(0x70), 1), kAck);
}

TEST_F(SimUnitLine, KeepsAnsweringAcrossCloseAndReopen) {
    Begin();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        m_line = std::make_unique<Line>(m_unit->DevicePath());
        ASSERT_TRUE(m_line->IsOpen());
        EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
    }
    m_line.reset();
    // No terminal side open for a moment: the unit's thread must survive it.
    ASSERT_TRUE(WaitUntil([&] { return m_unit->Snapshot().identityRequests == 3; }));
    m_line = std::make_unique<Line>(m_unit->DevicePath());
    EXPECT_EQ(Ask(kVersionRequest, 21).size(), 21u);
}

TEST_F(SimUnitLine, ReaderSeesTheLineHangUp) {
    Begin();
    EXPECT_EQ(Ask(kIdentityRequest, 30).size(), 30u);
    m_unit->Hangup();
    EXPECT_TRUE(m_line->SeesHangup());

    tolvane::sim::UnitConfig config;
    config.closeAfterBlocks = 2;
    Begin(config);
    StartLoad();
    EXPECT_EQ(Ask(BlockFrame(0, Fill(0x00)), 1), kAck);
    EXPECT_EQ(Ask(BlockFrame(1, Fill(0x01)), 1), kAck);
    ASSERT_TRUE(m_line->Write(BlockFrame(2, Fill(0x02))));
    EXPECT_TRUE(m_line->SeesHangup());
    const auto seen = m_unit->Snapshot();
    EXPECT_EQ(seen.blockFrames.size(), 2u);
    EXPECT_EQ(seen.memory.size(), 2u);
}

}  // namespace
