#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimUnit.h"

extern char** environ;

namespace {

// A program image for model R15 that passes every check of the loader:
// 327,680 bytes, file version 6 at offset 128, firmware 148 at 132, five
// version characters at 65,537, identity code 0x701C361A at 262,016; the XOR
// of all bytes is 0xFF and the sum of all bytes but the one at 54 is 0xFF.
std::vector<std::uint8_t> ValidR15Program() {
    std::vector<std::uint8_t> image(327680, 0xFF);
    // Data in every third 4 KiB stretch; the rest stays erased and is skipped.
    for (std::size_t i = 0; i < image.size(); ++i) {
        if ((i / 4096) % 3 == 0) {
            image[i] = static_cast<std::uint8_t>((i * 31 + (i >> 8)) & 0xFF);
        }
    }
    image[128] = 6;
    image[129] = 0;
    image[132] = 148;
    image[133] = 0;
    image[65537] = 'T';
    image[65538] = 'E';
    image[65539] = 'S';
    image[65540] = 'T';
    image[65541] = '6';
    image[262016] = 0x1A;
    image[262017] = 0x36;
    image[262018] = 0x1C;
    image[262019] = 0x70;
    // Byte 200 makes the sum of all bytes except byte 54 0xFF; byte 54, which
    // that sum leaves out, then makes the XOR of all bytes 0xFF.
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i != 54 && i != 200) {
            sum = static_cast<std::uint8_t>(sum + image[i]);
        }
    }
    image[200] = static_cast<std::uint8_t>(0xFF - sum);
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i != 54) {
            x ^= image[i];
        }
    }
    image[54] = static_cast<std::uint8_t>(x ^ 0xFF);
    return image;
}

TEST(AutoLoad, ProgramLoadsTheNamedFileAndEndsByItself) {
    tolvane::sim::SimUnit unit;  // model R15, firmware 148, version 5
    ASSERT_TRUE(unit.Start());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::uint8_t> image = ValidR15Program();
    const std::string path =
        QFile::encodeName(dir.filePath(QStringLiteral("BRNR15M_TEST.BIN"))).toStdString();
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(
            f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size())),
            static_cast<qint64>(image.size()));
    }

    // The argument text loses its leading blanks, so an option needs a word
    // before it: "- c1 s0 f<path>".
    const std::string exe = TOLVANE_EXE;
    const std::string fileOption = "f" + path;
    std::vector<char*> argv = {const_cast<char*>("tolvane"),
                               const_cast<char*>("-"),
                               const_cast<char*>("c1"),
                               const_cast<char*>("s0"),
                               const_cast<char*>(fileOption.c_str()),
                               nullptr};
    const std::string previous = std::getenv("TOLVANE_COM1") ? std::getenv("TOLVANE_COM1") : "";
    setenv("TOLVANE_COM1", unit.DevicePath().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ);
    setenv("TOLVANE_COM1", previous.c_str(), 1);
    ASSERT_EQ(spawned, 0) << exe;

    int status = 0;
    bool exited = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(exited) << "the program did not end by itself within 60 s";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_TRUE(unit.WaitForEndFrame(1000));
    const tolvane::sim::Received seen = unit.Snapshot();
    EXPECT_EQ(seen.startFrames.size(), 1u);
    EXPECT_EQ(seen.badChecksums, 0);
    EXPECT_TRUE(unit.MemoryImage(0, image.size()) == image) << "unit memory differs from the file";
    unit.Stop();
}

}  // namespace
