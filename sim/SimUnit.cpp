#include "sim/SimUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <thread>
#include <utility>

namespace tolvane::sim {
namespace {

// Wire layout, as the unit sees it.
constexpr std::uint8_t kAck = 0xFA;
constexpr std::uint8_t kNak = 0xFB;
constexpr std::uint8_t kIdentityRequest = 0xE0;
constexpr std::uint8_t kVersionRequest = 0xB0;
constexpr std::uint8_t kRequestSecond = 0x01;
constexpr std::uint8_t kFrameStart = 0xF0;
constexpr std::size_t kRequestLen = 2;
constexpr std::size_t kStartFrameLen = 8;
constexpr std::size_t kBlockFrameLen = 133;  // F0, address (3, MSB first), 128 payload, checksum
constexpr std::size_t kPayloadOffset = 4;
constexpr std::size_t kPayloadLen = 128;
constexpr std::size_t kChecksumOffset = 132;
constexpr std::uint32_t kEndAddress = 0xFFFFFF;
constexpr std::size_t kLongReplyLen = 30;
constexpr std::size_t kShortReplyLen = 10;
constexpr std::size_t kVersionReplyLen = 21;
constexpr std::size_t kVersionTextOffset = 14;
constexpr std::size_t kVersionTextLen = 6;

constexpr std::uint8_t kGarbage[] = {0x55, 0xFA, 0x00, 0xFB, 0xE8, 0xAA};
// Junk after a reply begins with stray acknowledgement bytes: a loader that
// kept them would take them for the answer to its next frame.
constexpr std::uint8_t kStrayAfter[] = {0xFA, 0xFA, 0x00, 0x55, 0xFB, 0xE8};

using Nanos = std::int64_t;  // CLOCK_MONOTONIC
constexpr Nanos kMs = 1'000'000;
constexpr Nanos kBitsPerByteNs = 10'000'000'000;  // 10 bits per byte, divided by the baud rate
// An unfinished request is dropped when nothing more arrived for this long: a real unit
// resynchronises on a quiet line, and a loader that wrote half a frame must not shift
// every later frame.
constexpr Nanos kIdleDropNs = 500 * kMs;
constexpr Nanos kBackOffMs = 10;

Nanos Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Nanos>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

timespec ToTimespec(Nanos t) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(t / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(t % 1'000'000'000);
    return ts;
}

std::uint8_t SumBytes(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        sum += v[i];
    }
    return static_cast<std::uint8_t>(sum);
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

std::uint8_t Lo7(int v) {
    return static_cast<std::uint8_t>(v & 0x7F);
}
std::uint8_t Hi(int v) {
    return static_cast<std::uint8_t>((v >> 7) & 0xFF);
}

}  // namespace

struct SimUnit::Impl {
    explicit Impl(UnitConfig c) : config(std::move(c)) {}

    const UnitConfig config;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;  // end frame recorded, or line closed
    Received rec;                             // guarded by mutex
    bool lineClosed = false;                  // guarded by mutex
    std::string path;                         // guarded by mutex

    int masterFd = -1;
    int slaveFd = -1;  // kept open so the master never sees the terminal side vanish
    int wakeFd = -1;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> hangupRequested{false};

    // Owned by the thread.
    std::vector<std::uint8_t> rx;
    std::vector<Nanos> rxDone;  // per byte of rx: when it could have crossed the wire
    Nanos rxWireFreeAt = 0;
    bool loading = false;
    bool haveLastAddress = false;
    std::uint32_t lastAddress = 0;
    bool lastAckClean = false;  // the last block frame got a lone, prompt 0xFA
    std::map<std::uint32_t, int> tries;
    int blocksAcked = 0;

    bool Interrupted() const { return stopRequested.load() || hangupRequested.load(); }
    void Wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    void Run();
    void BackOff();
    bool SleepUntil(Nanos deadline);
    void CloseLine();
    void Accept(const std::uint8_t* data, std::size_t n);
    void Process();
    void Handle(const std::vector<std::uint8_t>& req);
    void OnStartFrame(const std::vector<std::uint8_t>& f);
    void OnBlockFrame(const std::vector<std::uint8_t>& f);
    void OnEndFrame(const std::vector<std::uint8_t>& f);
    void ResetLoad();
    void Reply(const std::vector<std::uint8_t>& bytes, bool ack = false);
    bool WriteAll(const std::uint8_t* data, std::size_t n);
    std::vector<std::uint8_t> IdentityReply() const;
    std::vector<std::uint8_t> VersionReply() const;
};

void SimUnit::Impl::Run() {
    std::uint8_t buf[4096];
    while (!stopRequested.load()) {
        if (hangupRequested.load() && masterFd >= 0) {
            CloseLine();
        }
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, POLLIN, 0}};
        const nfds_t nfds = masterFd >= 0 ? 2 : 1;
        int timeoutMs = -1;
        if (!rx.empty() && nfds == 2) {
            timeoutMs = static_cast<int>(kIdleDropNs / kMs);
        }
        const int r = ::poll(fds, nfds, timeoutMs);
        if (r < 0) {
            if (errno != EINTR) {
                BackOff();
            }
            continue;
        }
        if (r == 0) {
            std::lock_guard lock(mutex);
            rec.incompleteRequests += 1;
            rx.clear();
            rxDone.clear();
            continue;
        }
        if (fds[0].revents != 0) {
            std::uint64_t v = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd, &v, sizeof v);
            continue;
        }
        if (nfds == 2 && fds[1].revents != 0) {
            const ssize_t n = ::read(masterFd, buf, sizeof buf);
            if (n > 0) {
                Accept(buf, static_cast<std::size_t>(n));
                Process();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // EIO or hang-up: no terminal side is open. The kept slave fd normally
                // prevents this; wait instead of spinning on a level-triggered condition.
                BackOff();
            }
        }
    }
    std::lock_guard lock(mutex);
    lineClosed = true;
    changed.notify_all();
}

void SimUnit::Impl::BackOff() {
    pollfd p{wakeFd, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(kBackOffMs));
}

// Waits for an absolute monotonic deadline; false when a stop or hang-up cut it short.
bool SimUnit::Impl::SleepUntil(Nanos deadline) {
    for (;;) {
        if (Interrupted()) {
            return false;
        }
        const Nanos left = deadline - Now();
        if (left <= 0) {
            return true;
        }
        if (left > 2 * kMs) {
            // Coarse part on poll so that Stop and Hangup get through; the wake fd is
            // drained by Run, the flags tell why.
            pollfd p{wakeFd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>((left - kMs) / kMs));
            if (p.revents != 0 && Interrupted()) {
                return false;
            }
            continue;
        }
        const timespec ts = ToTimespec(deadline);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
}

void SimUnit::Impl::CloseLine() {
    CloseFd(masterFd);
    CloseFd(slaveFd);
    rx.clear();
    rxDone.clear();
    std::lock_guard lock(mutex);
    lineClosed = true;
    changed.notify_all();
}

void SimUnit::Impl::Accept(const std::uint8_t* data, std::size_t n) {
    const Nanos now = Now();
    const Nanos byteNs = config.paceBaud != 0 ? kBitsPerByteNs / config.paceBaud : 0;
    for (std::size_t i = 0; i < n; ++i) {
        rxWireFreeAt = std::max(now, rxWireFreeAt) + byteNs;
        rx.push_back(data[i]);
        rxDone.push_back(rxWireFreeAt);
    }
}

void SimUnit::Impl::Process() {
    while (!rx.empty() && masterFd >= 0 && !Interrupted()) {
        std::size_t need = 0;
        if (rx[0] == kIdentityRequest || rx[0] == kVersionRequest) {
            need = kRequestLen;
            if (rx.size() >= 2 && rx[1] != kRequestSecond) {
                need = 0;
            }
        } else if (rx[0] == kFrameStart) {
            need = loading ? kBlockFrameLen : kStartFrameLen;
        }
        if (need == 0) {
            {
                std::lock_guard lock(mutex);
                rec.junkBytes += 1;
            }
            rx.erase(rx.begin());
            rxDone.erase(rxDone.begin());
            continue;
        }
        if (rx.size() < need) {
            return;
        }
        if (config.paceBaud != 0 && !SleepUntil(rxDone[need - 1])) {
            return;
        }
        std::vector<std::uint8_t> req(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(need));
        rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(need));
        rxDone.erase(rxDone.begin(), rxDone.begin() + static_cast<std::ptrdiff_t>(need));
        Handle(req);
    }
}

void SimUnit::Impl::ResetLoad() {
    loading = false;
    haveLastAddress = false;
    lastAckClean = false;
}

void SimUnit::Impl::Handle(const std::vector<std::uint8_t>& req) {
    if (req[0] == kIdentityRequest) {
        {
            std::lock_guard lock(mutex);
            rec.identityRequests += 1;
        }
        ResetLoad();
        Reply(IdentityReply());
    } else if (req[0] == kVersionRequest) {
        {
            std::lock_guard lock(mutex);
            rec.versionRequests += 1;
        }
        Reply(VersionReply());
    } else if (req.size() == kStartFrameLen) {
        OnStartFrame(req);
    } else {
        const std::uint32_t address =
            (std::uint32_t{req[1]} << 16) | (std::uint32_t{req[2]} << 8) | std::uint32_t{req[3]};
        if (address == kEndAddress) {
            OnEndFrame(req);
        } else {
            OnBlockFrame(req);
        }
    }
}

// F0 00 07 tt 01 2A 2C cc, cc = (tt - 0x32) & 0x7F.
void SimUnit::Impl::OnStartFrame(const std::vector<std::uint8_t>& f) {
    const bool good = f[1] == 0x00 && f[2] == 0x07 && f[4] == 0x01 && f[5] == 0x2A &&
                      f[6] == 0x2C && f[7] == ((f[3] - 0x32) & 0x7F);
    {
        std::lock_guard lock(mutex);
        rec.startFrames.push_back(f);
        if (!good) {
            rec.badChecksums += 1;
        }
    }
    if (good) {
        ResetLoad();
        loading = true;
    }
    if (!config.silentOnStart) {
        Reply({good ? kAck : kNak}, true);
    }
}

void SimUnit::Impl::OnBlockFrame(const std::vector<std::uint8_t>& f) {
    if (config.closeAfterBlocks >= 0 && blocksAcked >= config.closeAfterBlocks) {
        CloseLine();
        return;
    }
    const std::uint32_t address =
        (std::uint32_t{f[1]} << 16) | (std::uint32_t{f[2]} << 8) | std::uint32_t{f[3]};
    const std::uint32_t block = address >> 7;
    const int tryNo = ++tries[block];
    const bool sumGood = SumBytes(f, 1, kChecksumOffset) == f[kChecksumOffset];
    {
        std::lock_guard lock(mutex);
        rec.blockFrames.push_back(f);
        if (!sumGood) {
            rec.badChecksums += 1;
        }
    }
    if (!sumGood) {
        lastAckClean = false;
        Reply({kNak});
        return;
    }

    // Addresses rise in steps of 128; the same address again is a retry only when the
    // unit's answer to the frame before may not have reached the loader as an acknowledgement.
    const bool inSequence =
        address % kPayloadLen == 0 &&
        (!haveLastAddress || address > lastAddress || (address == lastAddress && !lastAckClean));
    haveLastAddress = true;
    lastAddress = address;
    if (!inSequence) {
        std::lock_guard lock(mutex);
        rec.outOfSequence += 1;
    }

    const auto silence = config.silentTries.find(block);
    if (silence != config.silentTries.end() && silence->second.count(tryNo) != 0) {
        lastAckClean = false;
        return;
    }
    const auto wrong = config.wrongAckTries.find(block);
    if (wrong != config.wrongAckTries.end() && wrong->second.count(tryNo) != 0) {
        lastAckClean = false;
        Reply({config.wrongAckByte}, true);
        return;
    }
    {
        std::lock_guard lock(mutex);
        rec.memory[address].assign(f.begin() + kPayloadOffset,
                                   f.begin() + kPayloadOffset + kPayloadLen);
    }
    blocksAcked += 1;
    lastAckClean = !config.silent && config.garbageBeforeReply == 0 && config.replyDelayMs == 0 &&
                   config.ackDelayMs == 0 && config.garbageAfterReply == 0;
    Reply({kAck}, true);
}

void SimUnit::Impl::OnEndFrame(const std::vector<std::uint8_t>& f) {
    const bool sumGood = SumBytes(f, 1, kChecksumOffset) == f[kChecksumOffset];
    ResetLoad();
    std::lock_guard lock(mutex);
    rec.endFrame = f;
    if (!sumGood) {
        rec.badChecksums += 1;
    }
    changed.notify_all();
}

void SimUnit::Impl::Reply(const std::vector<std::uint8_t>& bytes, bool ack) {
    if (config.silent) {
        return;
    }
    const int delayMs = config.replyDelayMs + (ack ? config.ackDelayMs : 0);
    if (delayMs > 0 && !SleepUntil(Now() + delayMs * kMs)) {
        return;
    }
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < config.garbageBeforeReply; ++i) {
        burst.push_back(kGarbage[static_cast<std::size_t>(i) % sizeof kGarbage]);
    }
    burst.insert(burst.end(), bytes.begin(), bytes.end());
    for (int i = 0; i < config.garbageAfterReply; ++i) {
        burst.push_back(kStrayAfter[static_cast<std::size_t>(i) % sizeof kStrayAfter]);
    }
    if (config.paceBaud == 0) {
        WriteAll(burst.data(), burst.size());
        return;
    }
    // Byte k is written when it has fully crossed the wire: absolute deadlines from one
    // start, so sleeping late once does not delay every later byte.
    const Nanos start = Now();
    for (std::size_t k = 0; k < burst.size(); ++k) {
        const Nanos due = start + static_cast<Nanos>(k + 1) * kBitsPerByteNs /
                                      static_cast<Nanos>(config.paceBaud);
        if (!SleepUntil(due) || !WriteAll(&burst[k], 1)) {
            return;
        }
    }
}

// False when the line is gone or the thread is asked to stop.
bool SimUnit::Impl::WriteAll(const std::uint8_t* data, std::size_t n) {
    constexpr int kFullWaitMs =
        2000;  // a terminal side that reads nothing for this long loses the reply
    std::size_t done = 0;
    while (done < n && masterFd >= 0) {
        const ssize_t w = ::write(masterFd, data + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, POLLOUT, 0}};
            if (::poll(fds, 2, kFullWaitMs) <= 0 || Interrupted()) {
                return false;
            }
            continue;
        }
        return false;
    }
    return done == n;
}

// E8 00 1C 00, code (LE) at 4..7, 127 - (fw & 0x7F), fw >> 7, v & 0x7F, v >> 7, zeros;
// short form E8 00 09 00, type, fw & 0x7F, fw >> 7, v & 0x7F, v >> 7, zeros.
std::vector<std::uint8_t> SimUnit::Impl::IdentityReply() const {
    if (!config.rawIdentityReply.empty()) {
        return config.rawIdentityReply;
    }
    const int fw = config.firmware;
    const int v = config.version;
    if (config.shortReply) {
        std::vector<std::uint8_t> r(
            std::max(kShortReplyLen, std::size_t(std::max(0, config.shortReplyLen))), 0x00);
        r[0] = 0xE8;
        r[2] = 0x09;
        r[4] = config.shortType;
        r[5] = Lo7(fw);
        r[6] = Hi(fw);
        r[7] = Lo7(v);
        r[8] = Hi(v);
        r.resize(static_cast<std::size_t>(std::max(0, config.shortReplyLen)));
        return r;
    }
    std::vector<std::uint8_t> r(
        std::max(kLongReplyLen, std::size_t(std::max(0, config.identityReplyLen))), 0x00);
    r[0] = 0xE8;
    r[2] = 0x1C;
    for (int i = 0; i < 4; ++i) {
        r[4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(config.identityCode >> (8 * i));
    }
    r[8] = static_cast<std::uint8_t>(127 - Lo7(fw));
    r[9] = Hi(fw);
    r[10] = Lo7(v);
    r[11] = Hi(v);
    r.resize(static_cast<std::size_t>(std::max(0, config.identityReplyLen)));
    return r;
}

// B8 00 14 00, zeros, six characters of version text at 14..19 (zero-padded), zero.
std::vector<std::uint8_t> SimUnit::Impl::VersionReply() const {
    std::vector<std::uint8_t> r(
        std::max(kVersionReplyLen, std::size_t(std::max(0, config.versionReplyLen))), 0x00);
    r[0] = 0xB8;
    r[2] = 0x14;
    for (std::size_t i = 0; i < kVersionTextLen && i < config.versionText.size(); ++i) {
        r[kVersionTextOffset + i] = static_cast<std::uint8_t>(config.versionText[i]);
    }
    r.resize(static_cast<std::size_t>(std::max(0, config.versionReplyLen)));
    return r;
}

SimUnit::SimUnit(UnitConfig config) : m_impl(std::make_unique<Impl>(std::move(config))) {}

SimUnit::~SimUnit() {
    Stop();
}

bool SimUnit::Start() {
    Impl& d = *m_impl;
    if (d.thread.joinable()) {
        return false;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return false;
    }
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
        CloseFd(slave);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&tio);
    const int flags = ::fcntl(master, F_GETFL);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (::tcsetattr(slave, TCSANOW, &tio) != 0 || flags < 0 ||
        ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0 || wake < 0) {
        ::close(slave);
        ::close(master);
        if (wake >= 0) {
            ::close(wake);
        }
        return false;
    }
    CloseFd(d.masterFd);
    CloseFd(d.slaveFd);
    CloseFd(d.wakeFd);
    d.masterFd = master;
    d.slaveFd = slave;
    d.wakeFd = wake;
    d.stopRequested = false;
    d.hangupRequested = false;
    d.rx.clear();
    d.rxDone.clear();
    d.ResetLoad();
    {
        std::lock_guard lock(d.mutex);
        d.path = name;
        d.lineClosed = false;
    }
    d.thread = std::thread([&d] { d.Run(); });
    return true;
}

void SimUnit::Stop() {
    Impl& d = *m_impl;
    if (d.thread.joinable()) {
        d.stopRequested = true;
        d.Wake();
        d.thread.join();
    }
    CloseFd(d.masterFd);
    CloseFd(d.slaveFd);
    CloseFd(d.wakeFd);
}

std::string SimUnit::DevicePath() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->path;
}

void SimUnit::Hangup() {
    Impl& d = *m_impl;
    if (!d.thread.joinable()) {
        CloseFd(d.masterFd);
        CloseFd(d.slaveFd);
        return;
    }
    std::unique_lock lock(d.mutex);
    if (d.lineClosed) {
        return;
    }
    d.hangupRequested = true;
    d.Wake();
    d.changed.wait(lock, [&d] { return d.lineClosed; });
}

Received SimUnit::Snapshot() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->rec;
}

bool SimUnit::WaitForEndFrame(int timeoutMs) const {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                    [this] { return !m_impl->rec.endFrame.empty(); });
}

std::vector<std::uint8_t> SimUnit::MemoryImage(std::uint32_t base, std::size_t length) const {
    std::vector<std::uint8_t> image(length, 0xFF);
    const std::uint64_t lo = base;
    const std::uint64_t hi = lo + length;
    std::lock_guard lock(m_impl->mutex);
    for (const auto& [address, block] : m_impl->rec.memory) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            const std::uint64_t at = std::uint64_t{address} + i;
            if (at >= lo && at < hi) {
                image[static_cast<std::size_t>(at - lo)] = block[i];
            }
        }
    }
    return image;
}

}  // namespace tolvane::sim
