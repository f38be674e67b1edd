// Renders the program's windows offscreen into PNG files:
//   tolvane-screenshots OUTDIR
// main-idle.png       the main window right after its initialisation
// main-connected.png  connected to a simulated R15 unit, a valid program file selected
// main-loading.png    in the middle of loading that file
// about.png           the About box
// load-what.png       the "What to Load" dialog

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/AboutDlg.h"
#include "app/LoaderDlg.h"
#include "image/LoadWhat.h"
#include "platform/TermiosPort.h"
#include "qt/QtDialogWindow.h"
#include "res/Resource.h"
#include "sim/SampleImages.h"
#include "sim/SimUnit.h"

namespace {

using tolvane::QtDialogWindow;

bool Save(QWidget* widget, const QDir& dir, const char* name) {
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QString::fromLatin1(name));
    const bool ok = widget->grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Forwards to the real main dialog; the start timer is left out so that the
// script below decides when to connect and load.
class Script : public tolvane::DialogHandler {
  public:
    Script(QtDialogWindow& wnd, tolvane::LoaderDlg& dlg) : m_wnd(wnd), m_dlg(dlg) {}

    bool OnInitDialog() override {
        const bool focus = m_dlg.OnInitDialog();
        m_wnd.KillTimer(tolvane::res::kStartTimer);
        return focus;
    }
    void OnCommand(int id, int notification) override { m_dlg.OnCommand(id, notification); }
    void OnTimer(int id) override { m_dlg.OnTimer(id); }
    void OnSysCommand(int command) override { m_dlg.OnSysCommand(command); }
    void OnOK() override { m_dlg.OnOK(); }
    void OnCancel() override { m_dlg.OnCancel(); }
    std::int64_t OnCtlColor(int id) override { return m_dlg.OnCtlColor(id); }

  private:
    QtDialogWindow& m_wnd;
    tolvane::LoaderDlg& m_dlg;
};

template <typename Handler>
bool ShootDialog(int templateId, QWidget* parent, const QDir& dir, const char* name) {
    QtDialogWindow wnd(templateId, parent);
    Handler handler(wnd);
    bool ok = false;
    QTimer::singleShot(0, [&] {
        ok = Save(wnd.Widget(), dir, name);
        wnd.EndDialog(2);
    });
    wnd.DoModal(handler);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    tolvane::sim::SimUnit unit;
    if (!unit.Start()) {
        std::fprintf(stderr, "the simulated unit did not start\n");
        return 1;
    }
    setenv("TOLVANE_COM1", unit.DevicePath().c_str(), 1);

    QTemporaryDir files;
    const QString imagePath = files.filePath(QStringLiteral("BRNR15M_V0600.BIN"));
    {
        const std::vector<std::uint8_t> image = tolvane::sim::MakeProgramImage({});
        QFile f(imagePath);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(reinterpret_cast<const char*>(image.data()),
                    static_cast<qint64>(image.size())) != static_cast<qint64>(image.size())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(imagePath));
            return 1;
        }
    }

    bool ok = true;
    QtDialogWindow wnd(tolvane::res::IDD_LOADER);
    wnd.SetIcon(tolvane::res::IDI_APP);
    tolvane::TermiosPort port;
    tolvane::LoaderDlg dlg(wnd, port);
    Script script(wnd, dlg);
    QTimer::singleShot(0, [&] {
        ok = Save(wnd.Widget(), dir, "main-idle.png") && ok;

        dlg.ConnectToUnit();
        dlg.m_strFilePath = QFile::encodeName(imagePath).toStdString();
        dlg.m_strFileName = "BRNR15M_V0600.BIN";
        wnd.SetItemText(tolvane::res::IDC_FILE, dlg.m_strFileName);
        dlg.m_nLoadWhat = 0;
        dlg.UpdateControls();
        ok = Save(wnd.Widget(), dir, "main-connected.png") && ok;

        bool grabbed = false;
        dlg.m_bAutoLoad = true;  // no consent question
        wnd.onDispatch = [&](int count) {
            if (count == 1000) {
                grabbed = Save(wnd.Widget(), dir, "main-loading.png");
            }
        };
        dlg.OnConnectLoad();
        wnd.onDispatch = nullptr;
        ok = ok && grabbed;
        wnd.EndDialog(0);
    });
    wnd.DoModal(script);

    ok = ShootDialog<tolvane::AboutDlg>(tolvane::res::IDD_ABOUTBOX, wnd.Widget(), dir,
                                        "about.png") &&
         ok;
    ok = ShootDialog<tolvane::LoadWhat>(tolvane::res::IDD_LOADWHAT, wnd.Widget(), dir,
                                        "load-what.png") &&
         ok;
    unit.Stop();
    return ok ? 0 : 1;
}
