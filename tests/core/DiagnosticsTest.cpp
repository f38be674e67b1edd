#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/ComPorts.h"
#include "platform/TracingPort.h"
#include "support/ImageFiles.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Diagnostics, OpenFailuresAreExplainedFromTheOsError) {
    test::TempDir dir;
    const std::string device = dir.Write("ttyFAKE0", {});
    // The group that owns the device is the one to join.
    const group* g = getgrgid(0);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(chown(device.c_str(), 0, 0), 0);
    struct Case {
        int error;
        std::string device;
        int com;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {ENOENT, "/dev/ttyUSB3", 2, {"No such device", "/dev/ttyUSB3", "COM 2"}},
        {EACCES,
         device,
         1,
         {"Permission denied", device, std::string("the ") + g->gr_name + " group"}},
        {EBUSY, "/dev/ttyUSB0", 1, {"/dev/ttyUSB0", "in use by another program"}},
        {ENOENT, "", 3, {"No serial device for COM 3", "TOLVANE_COM3="}},
        {ENOENT, "", 0, {"No port is selected"}},
    };
    for (const auto& c : cases) {
        const std::string text = ExplainOpenFailure(c.error, c.device, c.com);
        for (const auto& part : c.parts) {
            EXPECT_TRUE(Contains(text, part)) << text << " lacks " << part;
        }
    }
}

TEST(Diagnostics, UnableToOpenTellsWhyInTheStatusTooltip) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    // Busy: a second loader holds the port.
    TermiosPort holder;
    ASSERT_TRUE(holder.Open(bench.unit.DevicePath()));
    bench.dlg->ConnectToUnit();
    EXPECT_EQ(bench.wnd.GetItemText(1011), "Unable to Open Com port");
    EXPECT_TRUE(Contains(bench.wnd.Item(1011).toolTip, "in use by another program"));
    holder.Close();

    // Missing.
    setenv("TOLVANE_COM1", "/dev/tolvane-gone", 1);
    bench.dlg->ConnectToUnit();
    EXPECT_TRUE(Contains(bench.wnd.Item(1011).toolTip, "No such device: /dev/tolvane-gone"));

    // A good connect clears the explanation.
    setenv("TOLVANE_COM1", bench.unit.DevicePath().c_str(), 1);
    bench.dlg->ConnectToUnit();
    EXPECT_EQ(bench.wnd.GetItemText(1011), "Good Response");
    EXPECT_EQ(bench.wnd.Item(1011).toolTip, "");
    bench.port.Close();
}

TEST(Diagnostics, PortListTooltipsNameTheDeviceOfEachItem) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    for (int n = 2; n <= 8; ++n) {
        unsetenv(("TOLVANE_COM" + std::to_string(n)).c_str());
    }
    setenv("TOLVANE_COM8", "/dev/tolvane-missing", 1);
    bench.dlg->UpdatePortToolTips();
    const auto& tips = bench.wnd.Item(1004).itemToolTips;
    ASSERT_EQ(tips.size(), 8u);
    EXPECT_TRUE(
        Contains(tips.at(0), "COM 1 opens " + bench.unit.DevicePath() + " (from TOLVANE_COM1)"));
    EXPECT_TRUE(Contains(tips.at(7), "/dev/tolvane-missing"));
    EXPECT_TRUE(Contains(tips.at(7), "not present"));
    EXPECT_EQ(bench.wnd.Item(1004).toolTip, tips.at(0))
        << "the list shows its selected item's device";
    unsetenv("TOLVANE_COM8");
}

TEST(Diagnostics, TraceWritesEveryRequestAndReplyInHex) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    ASSERT_NE(out, nullptr);
    TracingPort traced(bench.port, out);
    test::MemoryWindow wnd;
    LoaderDlg dlg(wnd, traced);
    dlg.DoDataExchange();
    dlg.InitModelCatalogue();
    wnd.SetCurSel(1004, 0);
    wnd.SetCurSel(1005, 0);
    dlg.ConnectToUnit();
    ASSERT_EQ(wnd.GetItemText(1011), "Good Response");
    std::fclose(out);
    const std::string trace(text, size);
    std::free(text);
    EXPECT_TRUE(Contains(trace, "] -> E0 01\n")) << trace;
    EXPECT_TRUE(Contains(trace, "] <- E8 00 1C 00 1A 36 1C 70 6B 01 05 00")) << trace;
    EXPECT_TRUE(Contains(trace, "(30 of 30 bytes")) << trace;
    EXPECT_TRUE(Contains(trace, "] -> B0 01\n")) << trace;
    EXPECT_TRUE(Contains(trace, "115200 bit/s")) << trace;
    bench.port.Close();
}

}  // namespace
}  // namespace tolvane
