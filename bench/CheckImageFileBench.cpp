// Times CheckImageFile on a valid 327,680-byte program file against reading
// the same file once, and prints the means and their ratio (aim: below 2).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/LoaderDlg.h"
#include "platform/SerialPort.h"
#include "support/ImageFiles.h"
#include "support/MemoryWindow.h"
#include "support/PortDouble.h"

namespace {

double Micros(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) {
        sum += x;
    }
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

double Median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    char dir[] = "/tmp/tolvane-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = std::string(dir) + "/BRNR15M0100.BIN";
    {
        const auto img = tolvane::test::MakeProgramImage({});
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(img.data()),
                  static_cast<std::streamsize>(img.size()));
    }

    tolvane::test::MemoryWindow wnd(102);
    tolvane::test::PortDouble port;
    tolvane::LoaderDlg dlg(wnd, port);
    dlg.DoDataExchange();
    dlg.InitModelCatalogue();
    dlg.m_nModel = 2;
    dlg.m_bConnected = 1;
    dlg.m_strFilePath = path;
    dlg.m_strFileName = "BRNR15M0100.BIN";

    dlg.CheckImageFile();  // warms the page cache
    if (dlg.m_bFileValid != 1) {
        std::fprintf(stderr, "the bench file was not accepted: %s\n",
                     wnd.GetItemText(1003).c_str());
        return 1;
    }

    // The two are timed in turn, run by run, so that other load on the
    // machine falls on both alike.
    using Clock = std::chrono::steady_clock;
    std::vector<double> checkUs;
    std::vector<double> readUs;
    std::vector<char> buf(64 * 1024);
    std::uint64_t total = 0;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        dlg.CheckImageFile();
        checkUs.push_back(Micros(Clock::now() - t0));

        t0 = Clock::now();
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::perror("open");
            return 1;
        }
        ssize_t got;
        while ((got = ::read(fd, buf.data(), buf.size())) > 0) {
            total += static_cast<std::uint64_t>(got);
        }
        close(fd);
        readUs.push_back(Micros(Clock::now() - t0));
    }

    const double checkMean = Mean(checkUs);
    const double readMean = Mean(readUs);
    std::printf("build type           %s\n",
                TOLVANE_BUILD_TYPE[0] != '\0' ? TOLVANE_BUILD_TYPE : "(none: unoptimised)");
    std::printf("runs                 %d\n", runs);
    std::printf("CheckImageFile       mean %.1f us, median %.1f us\n", checkMean, Median(checkUs));
    std::printf("read file once       mean %.1f us, median %.1f us (%llu bytes per run)\n",
                readMean, Median(readUs),
                static_cast<unsigned long long>(total / static_cast<std::uint64_t>(runs)));
    std::printf("ratio                mean %.2f, median %.2f (target below 2)\n",
                checkMean / readMean, Median(checkUs) / Median(readUs));

    std::remove(path.c_str());
    rmdir(dir);
    return 0;
}
