#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::sim {

// A program image that passes every check: XOR of the first 327,680 bytes is
// 0xFF, their sum without byte 54 is 0xFF, identity code at 262,016.
struct ProgramImage {
    std::size_t length = 327680;
    std::uint32_t identityCode = 0x701C361A;
    std::uint16_t fileVersion = 6;
    std::uint16_t firmware = 148;
    std::string versionString = "V1.60";  // five characters at 65,537
    std::uint32_t seed = 1;               // varies the content
    double erasedShare = 0.25;            // share of 128-byte blocks left all 0xFF
};
std::vector<std::uint8_t> MakeProgramImage(const ProgramImage& shape);

// A preset file: 32-byte name, then data with the preset identity code at offset 60.
std::vector<std::uint8_t> MakePresetFile(const std::string& name, std::uint32_t presetId,
                                         std::size_t dataLength, std::uint32_t seed = 7);

}  // namespace tolvane::sim
