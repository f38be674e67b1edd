#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <string>

#include "app/LoaderApp.h"
#include "platform/TermiosPort.h"
#include "platform/TracingPort.h"
#include "qt/QtDialogWindow.h"
#include "res/Resource.h"

int main(int argc, char** argv) {
    // The argument text is taken before Qt removes the options it knows.
    const std::string args = tolvane::LoaderApp::ArgumentText(argc, argv);

    QApplication app(argc, argv);
    // Message boxes are captioned with the executable's name without extension.
    QApplication::setApplicationName(
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/pictures/icon%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);

    tolvane::QtDialogWindow wnd(tolvane::res::IDD_LOADER);
    tolvane::TermiosPort port;
    // TOLVANE_TRACE=1: every request and reply in hex on standard error.
    tolvane::TracingPort traced(port, stderr);
    tolvane::SerialPort& line =
        tolvane::TracingPort::Wanted() ? static_cast<tolvane::SerialPort&>(traced) : port;
    int status = 0;
    tolvane::LoaderApp::InitInstance(args, wnd, line, &status);
    // The program ends when its dialog ends: 0, or 1 when a load asked for on
    // the command line did not complete.
    return status;
}
