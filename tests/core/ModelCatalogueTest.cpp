#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"
#include "platform/SerialPort.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace tolvane {
namespace {

TEST(ModelCatalogue, NamesEveryModelNumber) {
    const struct {
        int model;
        const char* name;
    } cases[] = {
        {0, "Korvel OEM"}, {1, "R13"}, {2, "R15"}, {3, "R15S"}, {4, "   "},
        {5, "   "},        {6, " "},   {-1, " "},  {-2, " "},   {1000, " "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetUnitName(c.model), c.name) << "model " << c.model;
    }
}

TEST(ModelCatalogue, GivesTheFilePrefixOfEachIndexAndKind) {
    const struct {
        int index;
        int isPreset;
        const char* prefix;
    } cases[] = {
        {0, 0, "BRNR13"}, {0, 1, "BRNR13"},  {1, 0, "BRNR15"}, {1, 1, "BRNR15"}, {2, 0, "BRN15S"},
        {2, 1, "BRNR15"}, {2, -1, "BRNR15"}, {2, 2, "BRNR15"}, {3, 0, "  "},     {4, 1, "  "},
        {5, 0, "  "},     {-1, 0, "  "},     {-1, 1, "  "},    {-2, -1, "  "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetFilePrefix(c.index, c.isPreset), c.prefix)
            << "index " << c.index << ", isPreset " << c.isPreset;
    }
}

TEST(ModelCatalogue, CopiesTheCodesOfTheLiveModels) {
    using Codes = std::array<std::uint32_t, 10>;
    const struct {
        int count;
        Codes unitIds;
        Codes presetIds;
    } cases[] = {
        {3,
         {0, 0x701A365A, 0x701C361A, 0x701C2C39, 0, 0, 0, 0, 0, 0},
         {0, 0x701A365A, 0x702A3B4C, 0x702A3B4C, 0, 0, 0, 0, 0, 0}},
        // Entry 1 is copied whatever the count.
        {1, {0, 0x701A365A, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0x701A365A, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0, {0, 0x701A365A, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0x701A365A, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        test::MemoryWindow wnd(102);
        test::PortDouble port;
        LoaderDlg dlg(wnd, port);
        dlg.m_nModelCount = c.count;
        dlg.InitModelCatalogue();
        EXPECT_EQ(dlg.m_unitIds, c.unitIds) << "count " << c.count;
        EXPECT_EQ(dlg.m_presetIds, c.presetIds) << "count " << c.count;
    }
}

}  // namespace
}  // namespace tolvane
