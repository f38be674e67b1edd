#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tolvane {

// Wire layout of a load:
//   start frame  F0 00 07 tt 01 2A 2C cc        cc = (tt - 0x32) & 0x7F, answered by 0xFA
//   block frame  F0 a2 a1 a0 <128 bytes> ss      a = block number * 128 (24 bits, MSB first),
//                                                ss = sum of bytes 1..131 mod 256, answered by 0xFA
//   end frame    F0 FF FF FF <128 bytes> ss      not answered
inline constexpr std::size_t kStartFrameLen = 8;
inline constexpr std::size_t kBlockFrameLen = 133;
inline constexpr std::size_t kBlockLen = 128;
inline constexpr std::size_t kPayloadAt = 4;
inline constexpr std::uint8_t kFrameStart = 0xF0;
inline constexpr std::uint8_t kAck = 0xFA;
// Highest block number whose address fits the frame's 24 bits.
inline constexpr std::uint32_t kLastAddressableBlock = 0xFFFFFFu >> 7;

// Type byte of the start frame: 0x10 or 0x78 after a short identity reply of
// that type (0x10 first), 0x6E for a catalogue model of the 0x1A hardware
// family, 0x70 otherwise.
std::uint8_t StartFrameType(bool type10, bool type78, int model, int modelCount,
                            std::span<const std::uint32_t> unitIds);

void BuildStartFrame(std::span<std::uint8_t, kStartFrameLen> frame, std::uint8_t type);

// Writes the frame start, address and checksum around the payload already at
// bytes 4..131; returns the checksum.
std::uint8_t SealBlockFrame(std::span<std::uint8_t, kBlockFrameLen> frame,
                            std::uint32_t blockNumber);

// Copies the payload to bytes 4..131, then seals the frame.
std::uint8_t BuildBlockFrame(std::span<std::uint8_t, kBlockFrameLen> frame,
                             std::uint32_t blockNumber,
                             std::span<const std::uint8_t, kBlockLen> payload);

// Turns the frame in place into the end frame: F0 FF FF FF, the 128 bytes it
// holds, checksum; returns the checksum.
std::uint8_t SealEndFrame(std::span<std::uint8_t, kBlockFrameLen> frame);

// True when all 128 bytes equal erased memory (0xFF): such a block is not sent.
bool IsErasedBlock(std::span<const std::uint8_t, kBlockLen> block);

}  // namespace tolvane
