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
#include "support/MemoryWindow.h"

namespace {

class NoPort : public tolvane::SerialPort {
public:
    bool Open(const std::string&) override { return false; }
    bool IsOpen() const override { return false; }
    void Close() override {}
    bool GetState(tolvane::LineSettings&) override { return false; }
    bool SetState(const tolvane::LineSettings&) override { return false; }
    void PurgeRx() override {}
    bool CtsHold() override { return false; }
    int Write(const std::uint8_t*, int) override { return 0; }
    void WaitTxEmpty() override {}
    void Flush() override {}
    int Read(std::uint8_t*, int, std::uint32_t) override { return 0; }
    int ErrorNumber() const override { return 0; }
    const std::string& ErrorText() const override { return m_text; }
    const std::string& DevicePath() const override { return m_text; }

private:
    std::string m_text;
};

// A valid program image for model 2 (unit identity code 0x701C361A).
std::vector<std::uint8_t> ProgramImage() {
    std::vector<std::uint8_t> img(0x50000);
    std::uint32_t seed = 12345;
    for (auto& b : img) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    const std::uint32_t id = 0x701C361A;
    for (int i = 0; i < 4; ++i) {
        img[0x3FF80 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id >> (8 * i));
    }
    // Offset 200 makes the sum of all bytes but 54 come to 0xFF; byte 54,
    // outside that sum, then makes the XOR of all bytes 0xFF.
    img[54] = 0;
    img[200] = 0;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < img.size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + (i == 54 ? 0 : img[i]));
    }
    img[200] = static_cast<std::uint8_t>(0xFF - sum);
    std::uint8_t x = 0;
    for (auto b : img) {
        x ^= b;
    }
    img[54] = static_cast<std::uint8_t>(x ^ 0xFF);
    return img;
}

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
        const auto img = ProgramImage();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(img.data()),
                  static_cast<std::streamsize>(img.size()));
    }

    tolvane::test::MemoryWindow wnd(102);
    NoPort port;
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
