#include "sim/SampleImages.h"

#include <algorithm>

namespace tolvane::sim {

namespace {

// Small deterministic generator, so images are the same on every run.
std::uint32_t Next(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void PutLe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace

std::vector<std::uint8_t> MakeProgramImage(const ProgramImage& shape) {
    constexpr std::size_t kRegion = 327680;
    std::vector<std::uint8_t> b(shape.length, 0xFF);
    std::uint32_t state = shape.seed * 2654435761u + 12345u;
    for (std::size_t block = 0; block * 128 < shape.length; ++block) {
        const bool erased =
            (Next(state) % 1000) < static_cast<std::uint32_t>(shape.erasedShare * 1000);
        if (erased && block > 2) {
            continue;
        }
        for (std::size_t i = block * 128; i < std::min(shape.length, block * 128 + 128); ++i) {
            b[i] = static_cast<std::uint8_t>(Next(state));
        }
    }
    if (shape.length < kRegion) {
        return b;
    }
    PutLe16(b, 128, shape.fileVersion);
    PutLe16(b, 132, shape.firmware);
    for (std::size_t i = 0; i < 5; ++i) {
        b[65537 + i] = static_cast<std::uint8_t>(
            i < shape.versionString.size() ? shape.versionString[i] : ' ');
    }
    PutLe32(b, 262016, shape.identityCode);
    // Byte 200 balances the sum of all bytes but 54; byte 54 then balances the XOR.
    unsigned sum = 0;
    for (std::size_t i = 0; i < kRegion; ++i) {
        if (i != 54 && i != 200) {
            sum += b[i];
        }
    }
    b[200] = static_cast<std::uint8_t>((0xFFu - sum) & 0xFFu);
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < kRegion; ++i) {
        if (i != 54) {
            x ^= b[i];
        }
    }
    b[54] = static_cast<std::uint8_t>(x ^ 0xFFu);
    return b;
}

std::vector<std::uint8_t> MakePresetFile(const std::string& name, std::uint32_t presetId,
                                         std::size_t dataLength, std::uint32_t seed) {
    std::vector<std::uint8_t> b(32 + dataLength, 0);
    for (std::size_t i = 0; i < name.size() && i < 32; ++i) {
        b[i] = static_cast<std::uint8_t>(name[i]);
    }
    std::uint32_t state = seed * 2654435761u + 99u;
    for (std::size_t i = 32; i < b.size(); ++i) {
        b[i] = static_cast<std::uint8_t>(Next(state));
    }
    if (b.size() >= 64) {
        PutLe32(b, 60, presetId);
    }
    return b;
}

}  // namespace tolvane::sim
