#include "image/ModelCatalogue.h"

#include "app/LoaderDlg.h"

namespace tolvane {

namespace {

// unit identity code, preset identity code, unit name, program-file prefix, preset-file prefix.
// Bits 16..23 of the unit code tell the hardware family: 0x1A for R13, 0x1C for R15 and R15S.
// R15 and R15S share their preset files.
constexpr ModelEntry kModels[kCatalogueSlots] = {
    {0x701A365A, 0x701A365A, "R13", "BRNR13", "BRNR13"},   // model 1
    {0x701C361A, 0x702A3B4C, "R15", "BRNR15", "BRNR15"},   // model 2
    {0x701C2C39, 0x702A3B4C, "R15S", "BRN15S", "BRNR15"},  // model 3
    {0, 0, "   ", "  ", "  "},                             // model 4, reserved
    {0, 0, "   ", "  ", "  "},                             // model 5, reserved
};

// Name of a unit that reported a generic identity code (model 0).
constexpr const char* kGenericUnitName = "Korvel OEM";
constexpr const char* kUnknownUnitName = " ";
constexpr const char* kNoPrefix = "  ";

}  // namespace

const ModelEntry& CatalogueEntry(int index) {
    return kModels[index];
}

std::string GetUnitName(int model) {
    if (model == 0) {
        return kGenericUnitName;
    }
    if (model >= 1 && model <= kCatalogueSlots) {
        return kModels[model - 1].unitName;
    }
    return kUnknownUnitName;
}

std::string GetFilePrefix(int index, int isPreset) {
    if (index < 0 || index >= kCatalogueSlots) {
        return kNoPrefix;
    }
    return isPreset == 0 ? kModels[index].programPrefix : kModels[index].presetPrefix;
}

void LoaderDlg::InitModelCatalogue() {
    m_unitIds[1] = kModels[0].unitId;
    m_presetIds[1] = kModels[0].presetId;
    for (int k = 2; k <= kCatalogueSlots; ++k) {
        if (m_nModelCount >= k) {
            m_unitIds[static_cast<size_t>(k)] = kModels[k - 1].unitId;
            m_presetIds[static_cast<size_t>(k)] = kModels[k - 1].presetId;
        }
    }
}

}  // namespace tolvane
