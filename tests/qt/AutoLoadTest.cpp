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

#include "sim/SampleImages.h"
#include "sim/SimUnit.h"

extern char** environ;

namespace {

TEST(AutoLoad, ProgramLoadsTheNamedFileAndEndsByItself) {
    tolvane::sim::SimUnit unit;  // model R15, firmware 148, version 5
    ASSERT_TRUE(unit.Start());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::uint8_t> image = tolvane::sim::MakeProgramImage({});
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
