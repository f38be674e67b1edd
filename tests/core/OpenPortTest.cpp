#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "platform/ComPorts.h"
#include "support/SimFixture.h"

namespace tolvane {
namespace {

TEST(OpenPort, NoPortSelectionNamesComZeroWhichNeverOpens) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    bench.wnd.SetCurSel(1004, -1);
    EXPECT_EQ(bench.dlg->OpenPort(), 1);
    EXPECT_EQ(bench.dlg->m_nMsPerByte, 0u);
    EXPECT_FALSE(bench.port.IsOpen());
}

TEST(OpenPort, SpeedTableGivesSpeedAndMillisecondsPerByte) {
    struct Case {
        int selection;
        std::uint32_t baud;
        std::uint32_t msPerByte;
    };
    const Case cases[] = {{0, 115200, 1}, {1, 57600, 1}, {2, 38400, 1},
                          {3, 19200, 1},  {4, 9600, 2},  {-1, 38400, 1}};
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    for (const auto& c : cases) {
        bench.wnd.SetCurSel(1005, c.selection);
        ASSERT_EQ(bench.dlg->OpenPort(), 0) << c.selection;
        EXPECT_EQ(bench.dlg->m_nMsPerByte, c.msPerByte) << c.selection;
        LineSettings line;
        ASSERT_TRUE(bench.port.GetState(line));
        EXPECT_EQ(line.baudRate, c.baud) << c.selection;
        EXPECT_EQ(line.byteSize, 8);
        EXPECT_EQ(line.parity, 0);
        EXPECT_EQ(line.stopBits, 0);
    }
}

TEST(OpenPort, ReopensTheSamePortAndFailsForAPortHeldElsewhere) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    EXPECT_EQ(bench.dlg->m_nMsPerByte, 1u);

    // While this dialog holds the port, a second loader cannot have it (the
    // tests run as root, which TIOCEXCL alone would not stop).
    test::MemoryWindow otherWnd;
    TermiosPort otherPort;
    LoaderDlg other(otherWnd, otherPort);
    other.DoDataExchange();
    otherWnd.SetCurSel(1004, 0);
    otherWnd.SetCurSel(1005, 0);
    EXPECT_EQ(other.OpenPort(), 1);
    EXPECT_EQ(other.m_nMsPerByte, 0u);
    EXPECT_EQ(otherPort.ErrorNumber(), EBUSY);
}

TEST(OpenPort, APortThatCannotBeReopenedLeavesNoPortHeld) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    setenv("TOLVANE_COM1", "/dev/tolvane-no-such-device", 1);
    EXPECT_EQ(bench.dlg->OpenPort(), 1);
    EXPECT_EQ(bench.dlg->m_nMsPerByte, 0u);
    EXPECT_FALSE(bench.port.IsOpen());
    EXPECT_EQ(bench.port.ErrorNumber(), ENOENT);
}

TEST(OpenPort, ChangesOnlyTheLineFormatAndPutsTheFoundSettingsBackAtClose) {
    test::SimBench bench;
    ASSERT_TRUE(bench.started);
    // An observer opened before the loader sees the settings of the line.
    const int fd = ::open(bench.unit.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(fd, &before), 0);
    before.c_cflag |= CRTSCTS | CSTOPB | PARENB;
    cfsetospeed(&before, B9600);
    cfsetispeed(&before, B9600);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &before), 0);

    ASSERT_EQ(bench.dlg->OpenPort(), 0);
    termios during{};
    ASSERT_EQ(tcgetattr(fd, &during), 0);
    EXPECT_NE(during.c_cflag & CRTSCTS, 0u) << "hardware flow control stays as found";
    EXPECT_EQ(during.c_cflag & (CSTOPB | PARENB), 0u);
    EXPECT_EQ(during.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B115200));
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(during.c_iflag & (IXON | ICRNL), 0u);

    bench.port.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(fd, &after), 0);
    EXPECT_NE(after.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    ::close(fd);
}

TEST(ComDevices, EnvironmentNamesTheDeviceOtherwiseTheNthSerialDevicePresent) {
    char pattern[] = "/tmp/tolvane-dev-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string dev = root + "/dev";
    const std::string sys = root + "/sys";
    ::mkdir(dev.c_str(), 0755);
    ::mkdir(sys.c_str(), 0755);
    auto touch = [](const std::string& path, const char* text) {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "tty0"}) {
        touch(dev + "/" + name, "");
    }
    // ttyS0 and ttyS2 have a UART; ttyS1 is one of the phantom ports (type 0).
    for (const auto& [name, type] :
         {std::pair{"ttyS0", "4\n"}, {"ttyS1", "0\n"}, {"ttyS2", "4\n"}}) {
        ::mkdir((sys + "/" + name).c_str(), 0755);
        touch(sys + "/" + name + "/type", type);
    }
    const DeviceRoots roots{dev, sys};
    const std::vector<std::string> expected = {dev + "/ttyUSB2", dev + "/ttyUSB10",
                                               dev + "/ttyACM0", dev + "/ttyS0", dev + "/ttyS2"};
    EXPECT_EQ(ListSerialDevices(roots), expected);

    unsetenv("TOLVANE_COM2");
    EXPECT_EQ(ComDevicePath(2, roots), dev + "/ttyUSB10");
    EXPECT_EQ(ComDevicePath(5, roots), dev + "/ttyS2");
    EXPECT_EQ(ComDevicePath(6, roots), "");
    EXPECT_EQ(ComDevicePath(0, roots), "");
    setenv("TOLVANE_COM2", "/dev/pts/77", 1);
    EXPECT_EQ(ComDevicePath(2, roots), "/dev/pts/77");
    unsetenv("TOLVANE_COM2");
    std::string cmd = "rm -rf " + root;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
}  // namespace tolvane
