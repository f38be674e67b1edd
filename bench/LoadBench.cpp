// Loads a 2,560-block program image into the simulated unit over a
// pseudo-terminal and prints what one block frame costs, first with instant
// acknowledgements, then with the unit pacing its line at 115200 bit/s.
#include <sys/resource.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/LoaderDlg.h"
#include "platform/TermiosPort.h"
#include "sim/SimUnit.h"
#include "support/ImageFiles.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace {

using namespace tolvane;

constexpr int kBlocks = 2560;
constexpr double kGapMs = 2.0;

double ThreadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;
    int blockFrames = 0;
    bool equal = false;
};

Run LoadOnce(std::uint32_t paceBaud, const std::string& path,
             const std::vector<std::uint8_t>& image) {
    sim::UnitConfig config;
    config.paceBaud = paceBaud;
    sim::SimUnit unit(config);
    Run run;
    if (!unit.Start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return run;
    }
    setenv("TOLVANE_COM1", unit.DevicePath().c_str(), 1);
    test::MemoryWindow wnd;
    TermiosPort port;
    auto dlg = std::make_unique<LoaderDlg>(wnd, port);
    dlg->DoDataExchange();
    dlg->InitModelCatalogue();
    wnd.SetCurSel(1004, 0);
    wnd.SetCurSel(1005, 0);
    dlg->m_bAutoLoad = true;
    dlg->m_strFilePath = path;
    dlg->m_strFileName = path.substr(path.rfind('/') + 1);

    // The connect and the file check are timed separately, before the load.
    dlg->ConnectToUnit();
    dlg->UpdateControls();

    const double cpu0 = ThreadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    dlg->OnConnectLoad();
    unit.WaitForEndFrame(5000);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpuSeconds = ThreadCpuSeconds() - cpu0;
    const sim::Received got = unit.Snapshot();
    run.blockFrames = static_cast<int>(got.blockFrames.size());
    run.equal = unit.MemoryImage(0, image.size()) == image && wnd.GetItemText(1011) == "All Done";
    port.Close();
    return run;
}

// The gap as the loader really waits it: a whole number of millisecond ticks
// is reached, so each wait lies between 1 and 2 ms. Measured on a port double
// that answers at once.
double MeasuredGapMs() {
    test::MemoryWindow wnd;
    test::PortDouble port;
    port.Open("double");
    LoaderDlg dlg(wnd, port);
    dlg.m_nMsPerByte = 1;
    constexpr int kCalls = 1000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
        dlg.Transact(2, 0, 0, 0);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
               .count() /
           kCalls;
}

// Time a frame and its acknowledgement occupy the wire at `baud` (10 bits a byte), in ms.
double WireMs(int bytes, double baud) {
    return bytes * 10.0 * 1000.0 / baud;
}

}  // namespace

int main() {
    test::TempDir dir;
    test::ProgramImage shape;
    shape.erasedShare = 0.0;  // every block is sent
    const auto image = test::MakeProgramImage(shape);
    const std::string path = dir.Write("BRNR15M_BENCH.BIN", image);

    // The whole load, connect and re-check included, divided over the frames.
    const Run fast = LoadOnce(0, path, image);
    const double perFrameMs = fast.seconds * 1000.0 / (fast.blockFrames + 2);
    std::printf("instant acknowledgements: %d block frames in %.3f s, memory equals file: %s\n",
                fast.blockFrames, fast.seconds, fast.equal ? "yes" : "no");
    std::printf("  mean per block frame:         %.3f ms\n", perFrameMs);
    const double gapMs = MeasuredGapMs();
    std::printf("  beyond the 2 ms gap:          %.3f ms (target < 0.3 ms)\n", perFrameMs - kGapMs);
    std::printf("  gap as measured:              %.3f ms; beyond it: %.3f ms\n", gapMs,
                perFrameMs - gapMs);
    std::printf("  loader CPU:                   %.3f s (%.1f us per frame)\n", fast.cpuSeconds,
                fast.cpuSeconds * 1e6 / (fast.blockFrames + 2));

    const double baud = 115200;
    const Run paced = LoadOnce(115200, path, image);
    // Start frame + ack, every block frame + ack, end frame; each after a 2 ms gap.
    const double limitMs = (WireMs(8 + 1, baud) + kGapMs) +
                           paced.blockFrames * (WireMs(133 + 1, baud) + kGapMs) +
                           (WireMs(133, baud) + kGapMs);
    std::printf("paced at 115200 bit/s: %d block frames in %.3f s, memory equals file: %s\n",
                paced.blockFrames, paced.seconds, paced.equal ? "yes" : "no");
    std::printf("  line limit (wire + 2 ms gaps): %.3f s\n", limitMs / 1000.0);
    std::printf("  ratio load time / line limit:  %.4f (target < 1.02)\n",
                paced.seconds * 1000.0 / limitMs);
    return fast.equal && paced.equal ? 0 : 1;
}
