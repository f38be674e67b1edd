#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace tolvane::sim {

// How the simulated unit answers, and which faults it injects.
struct UnitConfig {
    // Long identity reply (E8 00 1C ...): identity code, firmware and version numbers.
    std::uint32_t identityCode = 0x701C361A;  // model R15
    int firmware = 148;         // encoded as byte 8 = 127 - (fw & 0x7F), byte 9 = fw >> 7
    int version = 5;            // encoded as byte 10 = v & 0x7F, byte 11 = v >> 7
    int identityReplyLen = 30;  // bytes actually sent of the long reply (e.g. 28, 29, 30)

    // Short identity reply of format 9 (E8 00 09 ...) instead of the long one.
    bool shortReply = false;
    std::uint8_t shortType = 0x78;  // 0x78 or 0x10
    int shortReplyLen = 10;

    // Replaces the whole identity reply when not empty (wrong headers etc.).
    std::vector<std::uint8_t> rawIdentityReply;

    std::string versionText = "R15v01";  // six characters at offsets 14..19 of the version reply
    int versionReplyLen = 21;            // bytes actually sent of the version reply

    // Faults.
    bool silent = false;         // answers nothing at all
    bool silentOnStart = false;  // does not acknowledge the start frame
    // block number -> tries (1-based) answered with a wrong acknowledgement byte; tries count
    // every block frame with that block's address over the unit's life, across connects
    std::map<std::uint32_t, std::set<int>> wrongAckTries;
    std::uint8_t wrongAckByte = 0xFB;
    // This many junk bytes sent in the same burst just before every reply: the repeated
    // pattern 55 FA 00 FB E8 AA, so two or more hold both 0xFA and other bytes.
    int garbageBeforeReply = 0;
    int replyDelayMs = 0;  // every reply is sent this late
    int ackDelayMs = 0;    // acknowledgements of start and block frames are sent this late
    // This many junk bytes sent in the same burst right after every reply, FA FA 00 55 FB E8
    // repeated: stray acknowledgement bytes that arrive between two frames.
    int garbageAfterReply = 0;
    // block number -> tries (counted like wrongAckTries) that get no answer at all
    std::map<std::uint32_t, std::set<int>> silentTries;
    // After this many block frames have been acknowledged (counted over the unit's life),
    // the next block frame that arrives finds the line closed: it is neither recorded nor
    // answered. 0 closes the line at the first block frame; -1 never.
    int closeAfterBlocks = -1;
    // 0: instant. Otherwise the line is modelled at this speed with 10 bits per byte both
    // ways: a request counts as complete only when its last byte could have crossed the
    // wire, and reply bytes leave one byte time apart.
    std::uint32_t paceBaud = 0;
};

// What the unit saw.
struct Received {
    int identityRequests = 0;
    int versionRequests = 0;
    std::vector<std::vector<std::uint8_t>> startFrames;
    // Every block frame as received, retries and bad checksums included.
    std::vector<std::vector<std::uint8_t>> blockFrames;
    std::vector<std::uint8_t> endFrame;  // empty until one arrived
    // Frames whose checksum or check byte is wrong (start frames with a wrong fixed byte too).
    int badChecksums = 0;
    // Block frames whose address is not a multiple of 128, went backwards, or repeated the
    // previous one although the unit had answered that with a lone, prompt 0xFA.
    int outOfSequence = 0;
    int junkBytes = 0;           // bytes that began no known request
    int incompleteRequests = 0;  // requests dropped unfinished when the line stayed quiet
    // Written memory: byte address -> 128-byte block, as acknowledged.
    std::map<std::uint32_t, std::vector<std::uint8_t>> memory;
};

// The unit's side of the line on a pseudo-terminal pair.
class SimUnit {
  public:
    explicit SimUnit(UnitConfig config = {});
    ~SimUnit();
    SimUnit(const SimUnit&) = delete;
    SimUnit& operator=(const SimUnit&) = delete;

    // Opens the pty pair and starts answering on a thread of its own.
    bool Start();
    void Stop();
    // Path of the pty's terminal side, the device the loader opens.
    std::string DevicePath() const;
    // Closes the unit's side of the line now (the cable pulled).
    void Hangup();

    Received Snapshot() const;
    // Blocks until the end frame has arrived or timeoutMs passed.
    bool WaitForEndFrame(int timeoutMs) const;
    // The written memory laid out flat from `base`, `length` bytes, 0xFF where nothing was written.
    std::vector<std::uint8_t> MemoryImage(std::uint32_t base, std::size_t length) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tolvane::sim
