#include <gtest/gtest.h>

#include <algorithm>

#include "support/SimFixture.h"

namespace tolvane {
namespace {

struct ConnectCase {
    const char* name;
    sim::UnitConfig unit;
    bool missingPort;
    bool autoLoad;
    const char* mainStatus;  // 1011
    const char* status;      // 1006
    const char* firmware;    // 1007
    const char* version;     // 1008
    const char* unitName;    // 1012
    bool connected;
};

sim::UnitConfig Unit(std::uint32_t code, int firmware) {
    sim::UnitConfig c;
    c.identityCode = code;
    c.firmware = firmware;
    return c;
}

sim::UnitConfig Silent() {
    sim::UnitConfig c;
    c.silent = true;
    return c;
}

sim::UnitConfig BadHeader() {
    sim::UnitConfig c;
    c.rawIdentityReply.assign(30, 0x00);
    c.rawIdentityReply[0] = 0xE9;
    return c;
}

sim::UnitConfig EmptyVersionText() {
    sim::UnitConfig c;
    c.versionReplyLen = 5;
    return c;
}

// Names the case in test output (the raw bytes of the struct hold padding).
void PrintTo(const ConnectCase& c, std::ostream* os) {
    *os << c.name;
}

class ConnectToUnit : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectToUnit, ShowsTheOutcomeInTheStatusFields) {
    const ConnectCase& c = GetParam();
    test::SimBench bench(c.unit);
    ASSERT_TRUE(bench.started);
    if (c.missingPort) {
        setenv("TOLVANE_COM1", "/dev/tolvane-missing", 1);
    }
    bench.dlg->m_bAutoLoad = c.autoLoad;
    bench.wnd.EnableItem(1009, false);
    bench.dlg->ConnectToUnit();
    EXPECT_EQ(bench.wnd.GetItemText(1011), c.mainStatus);
    EXPECT_EQ(bench.wnd.GetItemText(1006), c.status);
    EXPECT_EQ(bench.wnd.GetItemText(1007), c.firmware);
    EXPECT_EQ(bench.wnd.GetItemText(1008), c.version);
    EXPECT_EQ(bench.wnd.GetItemText(1012), c.unitName);
    EXPECT_EQ(bench.dlg->m_bConnected, c.connected ? 1 : 0);
    EXPECT_EQ(bench.port.IsOpen(), c.connected) << "the port stays open only for a unit";
    EXPECT_EQ(bench.dlg->m_nMsPerByte != 0, c.connected);
    if (!c.connected) {
        EXPECT_TRUE(bench.wnd.IsItemEnabled(1009));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ConnectToUnit,
    ::testing::Values(ConnectCase{"R15", Unit(0x701C361A, 148), false, false, "Good Response",
                                  " Connected", " 148", " R15v01 / 5", "R15", true},
                      ConnectCase{"R13", Unit(0x701A365A, 150), false, false, "Good Response",
                                  " Connected", " 150", " R15v01 / 5", "R13", true},
                      ConnectCase{"GenericInAutomaticMode", Unit(0x701C7F7F, 3), false, true,
                                  "Good Response", " Connected", " 3", " R15v01 / 5", "Korvel OEM",
                                  true},
                      ConnectCase{"EmptyVersionText", EmptyVersionText(), false, false,
                                  "Good Response", " Connected", " 148", "  / 5", "R15", true},
                      ConnectCase{"MissingPort",
                                  {},
                                  true,
                                  false,
                                  "Unable to Open Com port",
                                  " No Connection",
                                  "",
                                  "",
                                  "",
                                  false},
                      ConnectCase{"NoUnit", Silent(), false, false, "No Response", " No Connection",
                                  "", "", "", false},
                      ConnectCase{"BadHeader", BadHeader(), false, false, "Bad Response",
                                  " No Connection", "", "", "", false},
                      ConnectCase{"Generic", Unit(0x701C7F7F, 3), false, false, "Bad Response",
                                  " No Connection", "", "", "", false},
                      ConnectCase{"Unknown", Unit(0x11223344, 148), false, false,
                                  "Unrecognised Unit", " No Connection", "", "", "", false},
                      ConnectCase{"WrongHardware", Unit(0x701C361A, 150), false, false,
                                  "Incorrect Hardware", " No Connection", "", "", "", false}),
    [](const ::testing::TestParamInfo<ConnectCase>& p) { return std::string(p.param.name); });

TEST(ConnectSequence, GenericUnitAsksBeforeTheStatusTextsChange) {
    test::SimBench bench(Unit(0x701C7F7F, 3));
    ASSERT_TRUE(bench.started);
    bench.dlg->ConnectToUnit();
    const std::vector<std::string> questions = {
        "More than One device Found.\nConnect to a Single device."};
    EXPECT_EQ(bench.wnd.questions, questions);
    // The question comes before 1011 and 1006 are written.
    const auto& log = bench.wnd.textLog;
    const auto asked =
        std::find_if(log.begin(), log.end(), [](const auto& e) { return e.first == 0; });
    ASSERT_NE(asked, log.end());
    for (auto it = log.begin(); it != asked; ++it) {
        EXPECT_NE(it->first, 1011);
        EXPECT_NE(it->first, 1006);
    }
}

TEST(ConnectSequence, ShortReplyConnectsWithTheNameOfNoModel) {
    sim::UnitConfig c;
    c.shortReply = true;
    test::SimBench bench(c);
    ASSERT_TRUE(bench.started);
    bench.dlg->m_bAutoLoad = true;
    bench.dlg->m_nVariant = 9;
    bench.dlg->ConnectToUnit();
    EXPECT_EQ(bench.wnd.GetItemText(1011), "Good Response");
    EXPECT_EQ(bench.wnd.GetItemText(1012), " ");
}

TEST(ConnectSequence, ButtonsFollowTheConnectionAndReconnectClearsUnitFields) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    bench.dlg->OnPortSettingsChanged();
    EXPECT_EQ(bench.wnd.GetItemText(1009), "Load Now");
    EXPECT_FALSE(bench.wnd.IsItemEnabled(1009)) << "no file selected";
    EXPECT_TRUE(bench.wnd.IsItemEnabled(1001));
    EXPECT_EQ(bench.wnd.GetItemText(1002), " Error in File");
    EXPECT_EQ(bench.wnd.GetItemText(1003), " Nothing Selected");

    // Another port, where nothing answers.
    sim::SimUnit silent(Silent());
    ASSERT_TRUE(silent.Start());
    setenv("TOLVANE_COM1", silent.DevicePath().c_str(), 1);
    bench.dlg->OnPortSettingsChanged();
    EXPECT_EQ(bench.wnd.GetItemText(1009), "CONNECT");
    EXPECT_TRUE(bench.wnd.IsItemEnabled(1009));
    EXPECT_FALSE(bench.wnd.IsItemEnabled(1001));
    EXPECT_EQ(bench.wnd.GetItemText(1007), "");
    EXPECT_EQ(bench.wnd.GetItemText(1008), "");
    EXPECT_EQ(bench.wnd.GetItemText(1012), "");
    EXPECT_EQ(bench.wnd.GetItemText(1011), "No Response");
}

}  // namespace
}  // namespace tolvane
