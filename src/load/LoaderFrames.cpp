#include "load/LoaderFrames.h"

#include <algorithm>
#include <numeric>

namespace tolvane {

namespace {

std::uint8_t Checksum(std::span<const std::uint8_t, kBlockFrameLen> frame) {
    const unsigned sum = std::accumulate(frame.begin() + 1, frame.begin() + 132, 0u);
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

}  // namespace

std::uint8_t StartFrameType(bool type10, bool type78, int model, int modelCount,
                            std::span<const std::uint32_t> unitIds) {
    if (type10) {
        return 0x10;
    }
    if (type78) {
        return 0x78;
    }
    if (model >= 1 && model <= modelCount && static_cast<std::size_t>(model) < unitIds.size() &&
        ((unitIds[static_cast<std::size_t>(model)] >> 16) & 0xFFu) == 0x1A) {
        return 0x6E;
    }
    return 0x70;
}

void BuildStartFrame(std::span<std::uint8_t, kStartFrameLen> frame, std::uint8_t type) {
    frame[0] = kFrameStart;
    frame[1] = 0x00;
    frame[2] = 0x07;
    frame[3] = type;
    frame[4] = 0x01;
    frame[5] = 0x2A;
    frame[6] = 0x2C;
    frame[7] = static_cast<std::uint8_t>((type - 0x32) & 0x7F);
}

std::uint8_t SealBlockFrame(std::span<std::uint8_t, kBlockFrameLen> frame,
                            std::uint32_t blockNumber) {
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>((blockNumber >> 9) & 0xFFu);
    frame[2] = static_cast<std::uint8_t>((blockNumber >> 1) & 0xFFu);
    frame[3] = (blockNumber & 1u) != 0 ? 0x80 : 0x00;
    frame[132] = Checksum(frame);
    return frame[132];
}

std::uint8_t BuildBlockFrame(std::span<std::uint8_t, kBlockFrameLen> frame,
                             std::uint32_t blockNumber,
                             std::span<const std::uint8_t, kBlockLen> payload) {
    std::copy(payload.begin(), payload.end(), frame.begin() + kPayloadAt);
    return SealBlockFrame(frame, blockNumber);
}

std::uint8_t SealEndFrame(std::span<std::uint8_t, kBlockFrameLen> frame) {
    frame[0] = kFrameStart;
    frame[1] = 0xFF;
    frame[2] = 0xFF;
    frame[3] = 0xFF;
    frame[132] = Checksum(frame);
    return frame[132];
}

bool IsErasedBlock(std::span<const std::uint8_t, kBlockLen> block) {
    return std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace tolvane
