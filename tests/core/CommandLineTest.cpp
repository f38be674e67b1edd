#include <gtest/gtest.h>

#include "app/LoaderApp.h"
#include "app/LoaderDlg.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace tolvane {
namespace {

struct OptionCase {
    const char* args;  // the argument text as it reaches the parse
    int portSel;
    int baudSel;
    int variant;
    bool autoLoad;
    const char* cmdFile;
};

// Names the case in test output (the raw bytes of the struct hold padding).
void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << "\"" << c.args << "\"";
}

class CommandLine : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandLine, ReadsTheFourOptionsIntoTheDialog) {
    const OptionCase& c = GetParam();
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    dlg.m_bAutoLoad = false;
    LoaderApp::ReadOptions(c.args, dlg);
    EXPECT_EQ(dlg.m_nPortSel, c.portSel);
    EXPECT_EQ(dlg.m_nBaudSel, c.baudSel);
    EXPECT_EQ(dlg.m_nVariant, c.variant);
    EXPECT_EQ(dlg.m_bAutoLoad, c.autoLoad);
    EXPECT_EQ(dlg.m_strCmdFile, c.cmdFile);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(
        OptionCase{"", 0, 0, 0, false, ""},
        // An option at the very start has no blank before it.
        OptionCase{"c2 s1 fC:\\a.bin", 0, 1, 0, true, "C:\\a.bin"},
        OptionCase{"x c3 s1 fC:\\a.bin", 2, 1, 0, true, "C:\\a.bin"},
        OptionCase{"- c1", 0, 0, 0, false, ""}, OptionCase{"- c0", 0, 0, 0, false, ""},
        OptionCase{"- c8", 7, 0, 0, false, ""}, OptionCase{"- c9", 8, 0, 0, false, ""},
        OptionCase{"- c12", 0, 0, 0, false, ""}, OptionCase{"- c", 0, 0, 0, false, ""},
        OptionCase{"- c-3", 0, 0, 0, false, ""}, OptionCase{"- s4", 0, 4, 0, false, ""},
        OptionCase{"- s7", 0, 7, 0, false, ""}, OptionCase{"- sX", 0, 0, 0, false, ""},
        OptionCase{"- x9", 0, 0, 9, false, ""}, OptionCase{"- x", 0, 0, 0, false, ""},
        // Only the first occurrence counts.
        OptionCase{"- s3 s1 c5 c2", 4, 3, 0, false, ""},
        OptionCase{"- f C:\\a.bin", 0, 0, 0, true, " C:\\a.bin"},
        OptionCase{"- fC:\\a.bin", 0, 0, 0, true, "C:\\a.bin"},
        // Everything after f belongs to the path, and is searched for options too.
        OptionCase{"- fC:\\a.bin c2", 1, 0, 0, true, "C:\\a.bin c2"},
        OptionCase{"- fC:\\my s2\\a.bin", 0, 2, 0, true, "C:\\my s2\\a.bin"},
        OptionCase{"- f/data/BRNR15M.BIN", 0, 0, 0, true, "/data/BRNR15M.BIN"},
        OptionCase{"- c3 f", 2, 0, 0, true, ""},
        // Upper-case letters are no options.
        OptionCase{"- C2 S1 X9 FC:\\a.bin", 0, 0, 0, false, ""},
        OptionCase{"- c2 x9 s3 f/tmp/a b.bin", 1, 3, 9, true, "/tmp/a b.bin"}));

TEST(CommandLine, ArgumentTextJoinsArgumentsAndDropsLeadingBlanks) {
    struct Case {
        std::vector<const char*> argv;
        const char* text;
    };
    const Case cases[] = {
        {{"tolvane"}, ""},
        {{"tolvane", "c2"}, "c2"},
        {{"tolvane", "-", "c2", "s1"}, "- c2 s1"},
        {{"tolvane", "  \t c2", "s1"}, "c2 s1"},
        {{"tolvane", "", "c2"}, "c2"},
        {{"tolvane", "x", "fC:\\a b.bin"}, "x fC:\\a b.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoaderApp::ArgumentText(static_cast<int>(c.argv.size()), c.argv.data()), c.text);
    }
}

TEST(CommandLine, FileOptionFillsBothNamesAndTheEditAtInitialisation) {
    struct Case {
        const char* cmdFile;
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"/data/fw/a.bin", "/data/fw/a.bin", "a.bin"},
        {"a.bin", "a.bin", "a.bin"},
        {"/data/fw/", "/data/fw/", ""},
        {"C:\\data\\a.bin", "C:\\data\\a.bin", "C:\\data\\a.bin"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        test::MemoryWindow wnd;
        test::PortDouble port;
        LoaderDlg dlg(wnd, port);
        LoaderApp::ReadOptions(std::string("- f") + c.cmdFile, dlg);
        ASSERT_TRUE(dlg.m_bAutoLoad);
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.m_strFilePath, c.path);
        EXPECT_EQ(dlg.m_strFileName, c.name);
        EXPECT_EQ(wnd.GetItemText(1000), c.name);
    }
}

TEST(CommandLine, ListPositionsOutsideTheListsLeaveNoSelection) {
    test::MemoryWindow wnd;
    test::PortDouble port;
    LoaderDlg dlg(wnd, port);
    LoaderApp::ReadOptions("- c9 s3", dlg);
    dlg.OnInitDialog();
    EXPECT_EQ(wnd.GetCurSel(1004), -1);
    EXPECT_EQ(wnd.GetCurSel(1005), 3);
}

}  // namespace
}  // namespace tolvane
