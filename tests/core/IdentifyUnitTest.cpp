#include <gtest/gtest.h>

#include "support/SimFixture.h"

namespace tolvane {
namespace {

std::vector<std::uint8_t> LongReply(std::initializer_list<std::uint8_t> first12,
                                    std::size_t length = 30) {
    std::vector<std::uint8_t> r(first12);
    r.resize(length, 0x00);
    return r;
}

sim::UnitConfig Long(std::uint32_t code, int firmware, int version = 5) {
    sim::UnitConfig c;
    c.identityCode = code;
    c.firmware = firmware;
    c.version = version;
    return c;
}

sim::UnitConfig Raw(std::vector<std::uint8_t> reply) {
    sim::UnitConfig c;
    c.rawIdentityReply = std::move(reply);
    return c;
}

sim::UnitConfig Short(std::uint8_t type, int length = 10) {
    sim::UnitConfig c;
    c.shortReply = true;
    c.shortType = type;
    c.shortReplyLen = length;
    c.firmware = 300;
    c.version = 260;
    return c;
}

struct IdCase {
    const char* name;
    sim::UnitConfig unit;
    bool autoLoad;
    int variant;
    int result;
    int model;
    int firmware;  // checked when the result is 1 or 3
    int version;
};

// Names the case in test output (the raw bytes of the struct hold padding).
void PrintTo(const IdCase& c, std::ostream* os) {
    *os << c.name;
}

class IdentifyUnit : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdentifyUnit, ClassifiesTheReply) {
    const IdCase& c = GetParam();
    test::SimBench bench(c.unit);
    ASSERT_TRUE(bench.started);
    bench.dlg->m_bAutoLoad = c.autoLoad;
    bench.dlg->m_nVariant = c.variant;
    bench.dlg->m_nUnitFirmware = -77;  // left over from an earlier identification
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    EXPECT_EQ(bench.dlg->IdentifyUnit(), c.result);
    EXPECT_EQ(bench.dlg->m_nModel, c.model);
    if (c.result == 1 || c.result == 3) {
        EXPECT_EQ(bench.dlg->m_nUnitFirmware, c.firmware);
        EXPECT_EQ(bench.dlg->m_nUnitVersion, c.version);
        EXPECT_EQ(bench.dlg->m_strUnitVersion, "R15v01") << "version text fetched";
    } else {
        EXPECT_EQ(bench.dlg->m_nUnitFirmware, -77) << "a failed identification keeps old values";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, IdentifyUnit,
    ::testing::Values(
        IdCase{"R13", Long(0x701A365A, 150), false, 0, 1, 1, 150, 5},
        IdCase{"R15", Long(0x701C361A, 148), false, 0, 1, 2, 148, 5},
        IdCase{"R15S", Long(0x701C2C39, 276, 300), false, 0, 1, 3, 276, 300},
        IdCase{"R13WithR15Firmware", Long(0x701A365A, 148), false, 0, 3, 1, 148, 5},
        IdCase{"R15WithR13Firmware", Long(0x701C361A, 150), false, 0, 3, 2, 150, 5},
        // The worked example: model 2, firmware 148, version 5; byte 8 = 0x69 makes it 150.
        IdCase{"WorkedExample",
               Raw(LongReply({0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05,
                              0x00})),
               false, 0, 1, 2, 148, 5},
        IdCase{"WorkedExampleWrongHardware",
               Raw(LongReply({0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x69, 0x01, 0x05,
                              0x00})),
               false, 0, 3, 2, 150, 5},
        IdCase{
            "TwentyNineBytesAreALongReply",
            Raw(LongReply({0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05, 0x00},
                          29)),
            false, 0, 1, 2, 148, 5},
        IdCase{
            "TwentyEightBytesWithoutVariant9",
            Raw(LongReply({0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05, 0x00},
                          28)),
            true, 0, 0, -1, 0, 0},
        IdCase{
            "TwentyEightBytesWithVariant9FailTheShortHeader",
            Raw(LongReply({0xE8, 0x00, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05, 0x00},
                          28)),
            true, 9, -1, -1, 0, 0},
        IdCase{"WrongHeader",
               Raw(LongReply({0xE8, 0x01, 0x1C, 0x00, 0x1A, 0x36, 0x1C, 0x70, 0x6B, 0x01, 0x05,
                              0x00})),
               false, 0, -1, -1, 0, 0},
        IdCase{"GenericCodeWithoutFileOption", Long(0x701C7F7F, 1), false, 0, -2, -1, 0, 0},
        IdCase{"GenericCodeWithFileOption", Long(0x701C7F7F, 1), true, 0, 1, 0, 1, 5},
        IdCase{"OtherGenericCodeWithFileOption", Long(0x701A7F7F, 999), true, 0, 1, 0, 999, 5},
        IdCase{"UnknownCode", Long(0x12345678, 148), false, 0, 2, -1, 0, 0},
        IdCase{"ShortReply78", Short(0x78), true, 9, 1, -1, 300, 260},
        IdCase{"ShortReply10Of28Bytes", Short(0x10, 28), true, 9, 1, -1, 300, 260},
        IdCase{"ShortReplyWithoutVariant9", Short(0x78), true, 0, 0, -1, 0, 0},
        IdCase{"ShortReplyWithoutFileOption", Short(0x78), false, 9, 0, -1, 0, 0},
        IdCase{"ShortReplyOfNineBytes", Short(0x78, 9), true, 9, 0, -1, 0, 0},
        IdCase{"ShortReplyOfUnknownType", Short(0x33), true, 9, 0, -1, 0, 0}),
    [](const ::testing::TestParamInfo<IdCase>& p) { return std::string(p.param.name); });

TEST(IdentifyUnitFlags, ShortReplySetsItsTypeFlagAndReplacesModelOnesCode) {
    for (const std::uint8_t type : {std::uint8_t{0x78}, std::uint8_t{0x10}}) {
        test::SimBench bench(Short(type));
        ASSERT_TRUE(bench.started);
        bench.dlg->m_bAutoLoad = true;
        bench.dlg->m_nVariant = 9;
        ASSERT_EQ(bench.dlg->OpenPort(), 0);
        ASSERT_EQ(bench.dlg->IdentifyUnit(), 1);
        EXPECT_EQ(bench.dlg->m_bType78, type == 0x78 ? 1 : 0);
        EXPECT_EQ(bench.dlg->m_bType10, type == 0x10 ? 1 : 0);
        EXPECT_EQ(bench.dlg->m_unitIds[1], 0x701C7F7Fu);

        // Model 1's own code is not in the catalogue any more for the rest of the run.
        sim::SimUnit r13(Long(0x701A365A, 150));
        ASSERT_TRUE(r13.Start());
        setenv("TOLVANE_COM1", r13.DevicePath().c_str(), 1);
        ASSERT_EQ(bench.dlg->OpenPort(), 0);
        EXPECT_EQ(bench.dlg->IdentifyUnit(), 2);
        // Neither flag is cleared by a later identification.
        EXPECT_EQ(bench.dlg->m_bType78 + bench.dlg->m_bType10, 1);
        bench.port.Close();
    }
}

TEST(IdentifyUnitVersion, ShortVersionReplyLeavesTheTextEmptyAndZeroBytesAreKept) {
    sim::UnitConfig cut = Long(0x701C361A, 148);
    cut.versionReplyLen = 20;
    sim::UnitConfig zero = Long(0x701C361A, 148);
    zero.versionText = std::string("AB\0DEF", 6);
    struct Case {
        sim::UnitConfig unit;
        std::string text;
    };
    const Case cases[] = {{cut, ""}, {zero, std::string("AB\0DEF", 6)}};
    for (const auto& c : cases) {
        test::SimBench bench(c.unit);
        ASSERT_TRUE(bench.started);
        ASSERT_EQ(bench.dlg->OpenPort(), 0);
        EXPECT_EQ(bench.dlg->IdentifyUnit(), 1);
        EXPECT_EQ(bench.dlg->m_strUnitVersion, c.text);
    }
}

}  // namespace
}  // namespace tolvane
