#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    // Offscreen unless told otherwise, also when the test list is discovered.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // "COM 1" of every window in this suite leads nowhere unless a test points it
    // at the simulated unit: no test may reach a real serial port.
    setenv("TOLVANE_COM1", "/nonexistent/tolvane-qt-tests", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
