#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

// The generic identity codes: a unit that reports one of them answers for
// more than one device on the line.
inline constexpr std::uint32_t kGenericCode1C = 0x701C7F7F;
inline constexpr std::uint32_t kGenericCode1A = 0x701A7F7F;

// Number of catalogue rows for models 1..5 (4 and 5 reserved).
inline constexpr int kCatalogueSlots = 5;

struct ModelEntry {
    std::uint32_t unitId;    // identity code the unit reports
    std::uint32_t presetId;  // identity code a preset file for the model carries
    const char* unitName;
    const char* programPrefix;  // first six characters of a program file's name
    const char* presetPrefix;   // first six characters of a preset file's name
};

// Models 1 to 5 in entries 0 to 4.
const ModelEntry& CatalogueEntry(int index);

// Unit name of model 0..5; " " for any other number.
std::string GetUnitName(int model);

// Prefix for model index + 1: the program prefix when isPreset is 0, the
// preset prefix otherwise; "  " for an index outside 0..4.
std::string GetFilePrefix(int index, int isPreset);

}  // namespace tolvane
