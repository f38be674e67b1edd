#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/LoaderDlg.h"
#include "platform/TermiosPort.h"
#include "qt/QtDialogWindow.h"
#include "res/Resource.h"
#include "sim/SimUnit.h"

namespace tolvane {
namespace {

// Runs `act` once the modal loop has started; a dialog left open fails the test.
int RunModal(QtDialogWindow& wnd, DialogHandler& handler, const std::function<void()>& act) {
    QTimer::singleShot(0, act);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&wnd] {
        ADD_FAILURE() << "the dialog did not end";
        wnd.EndDialog(-99);
    });
    watchdog.start(20000);
    return wnd.DoModal(handler);
}

// Acts on the modal dialog that is open once the event loop runs next.
void OnNextModal(const std::function<void(QWidget*)>& act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        act(modal);
    });
}

// A handler that records what reaches it.
struct Recorder : DialogHandler {
    explicit Recorder(DialogWindow& w) : wnd(w) {}
    DialogWindow& wnd;
    std::vector<std::pair<int, int>> commands;
    std::vector<int> timers;
    std::vector<int> sysCommands;
    int oks = 0;
    int cancels = 0;
    std::function<void(int, int)> onCommand;
    std::function<void(int)> onTimer;

    bool OnInitDialog() override { return true; }
    void OnCommand(int id, int notification) override {
        commands.emplace_back(id, notification);
        if (onCommand) {
            onCommand(id, notification);
        }
    }
    void OnTimer(int id) override {
        timers.push_back(id);
        if (onTimer) {
            onTimer(id);
        }
    }
    void OnSysCommand(int command) override { sysCommands.push_back(command); }
    void OnOK() override {
        ++oks;
        wnd.EndDialog(1);
    }
    void OnCancel() override {
        ++cancels;
        wnd.EndDialog(2);
    }
};

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

// ---- Controls from the templates ----

struct ControlCase {
    int templateId;
    int id;
    const char* className;
    const char* text;  // lists: the items joined with '\n'
};

constexpr ControlCase kControls[] = {
    {102, 1000, "QLineEdit", ""},
    {102, 1001, "QPushButton", "..."},
    {102, 1002, "QLabel", "<File Firm>"},
    {102, 1003, "QLabel", "<File Version>"},
    {102, 1004, "QComboBox", "COM 1\nCOM 2\nCOM 3\nCOM 4\nCOM 5\nCOM 6\nCOM 7\nCOM 8"},
    {102, 1005, "QComboBox", "115200\n57600\n38400\n19200\n9600"},
    {102, 1006, "QLabel", "<Status>"},
    {102, 1007, "QLabel", "<Firmware>"},
    {102, 1008, "QLabel", "<Version>"},
    {102, 1009, "QPushButton", "Connect"},
    {102, 1010, "QProgressBar", ""},
    {102, 1011, "QLabel", "<Main Status>"},
    {102, 1, "QPushButton", "Quit"},
    {102, 1013, "QLabel", ""},
    {102, 1012, "QLabel", "<Unit>"},
    {100, 1017, "QLabel", ""},
    {100, 1016, "QLabel", "Tolvane Version 1.1"},
    {100, 1, "QPushButton", "OK"},
    {130, 1015, "QPushButton", "OK"},
    {130, 1014, "QPushButton", ""},
};

TEST(QtDialogWindow, BuildsEveryNumberedControlOfTheTemplates) {
    for (const auto& c : kControls) {
        SCOPED_TRACE(::testing::Message() << "template " << c.templateId << " control " << c.id);
        QtDialogWindow wnd(c.templateId);
        QWidget* w = wnd.Control(c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.className)) << w->metaObject()->className();
        EXPECT_TRUE(wnd.IsItemEnabled(c.id));
        EXPECT_TRUE(w->isEnabled());
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items << combo->itemText(i);
            }
            EXPECT_EQ(items.join(QLatin1Char('\n')), Q(c.text));
            EXPECT_EQ(wnd.GetCurSel(c.id), -1);
            EXPECT_FALSE(combo->isEditable());
        } else {
            EXPECT_EQ(wnd.GetItemText(c.id), c.text);
        }
    }
}

TEST(QtDialogWindow, UnnumberedControlsShowTheirTemplateTexts) {
    struct Case {
        int templateId;
        std::set<QString> texts;
    };
    const Case cases[] = {
        {102,
         {Q("File to Load"), Q("Serial Port"), Q("Speed"), Q("Status:"), Q("Firmware:"),
          Q("Version:"), Q("Unit:"), Q("")}},
        {100, {Q("Copyright (C) 2026 Brennic")}},
        {130, {Q("Load New Program Version"), Q("Load New Preset File"), Q("")}},
    };
    for (const auto& c : cases) {
        QtDialogWindow wnd(c.templateId);
        std::set<QString> texts;
        for (const auto& item : wnd.Items()) {
            if (item.tpl->id >= 0) {
                continue;
            }
            if (auto* label = qobject_cast<QLabel*>(item.widget)) {
                texts.insert(label->text());
            } else if (auto* box = qobject_cast<QGroupBox*>(item.widget)) {
                texts.insert(box->title());
            } else {
                texts.insert(QString());
            }
        }
        EXPECT_EQ(texts, c.texts) << "template " << c.templateId;
    }
}

TEST(QtDialogWindow, ShapesFollowTheTemplates) {
    QtDialogWindow wnd(102);
    EXPECT_EQ(wnd.GetTitle(), "OEM Tolvane");
    const QRect size = QtDialogWindow::MapDialogRect(0, 0, 435, 214);
    EXPECT_EQ(wnd.Widget()->minimumSize(), size.size());
    EXPECT_EQ(wnd.Widget()->maximumSize(), size.size());

    auto* status = qobject_cast<QLabel*>(wnd.Control(1006));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->frameShape(), QFrame::Panel);
    EXPECT_EQ(status->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(status->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    auto* fileFirm = qobject_cast<QLabel*>(wnd.Control(1002));
    ASSERT_NE(fileFirm, nullptr);
    EXPECT_EQ(fileFirm->alignment(), Qt::AlignLeft | Qt::AlignVCenter);

    auto* bar = qobject_cast<QProgressBar*>(wnd.Control(1010));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(bar->isTextVisible());

    // A "<...>" placeholder is plain text, not markup that would hide it.
    EXPECT_EQ(status->textFormat(), Qt::PlainText);

    QtDialogWindow loadWhat(130);
    auto* preset = qobject_cast<QPushButton*>(loadWhat.Control(1015));
    ASSERT_NE(preset, nullptr);
    EXPECT_TRUE(preset->text().isEmpty()) << "a picture button shows no text";
}

TEST(QtDialogWindow, NoTextIsClipped) {
    // Template texts, and texts the loader puts into the fields.
    struct Extra {
        int templateId;
        int id;
        const char* text;
    };
    const Extra extras[] = {
        {102, 1002, " Firmware: 65535"},
        {102, 1003, " Version: ABCDE \\ 65535"},
        {102, 1003, " Incorrect Preset File"},
        {102, 1006, " No Connection"},
        {102, 1006, " Connected"},
        {102, 1008, " R15v01 / 16383"},
        {102, 1011, "Writing Block 131072 of 131072"},
        {102, 1011, "Unable to Open Com port"},
        {102, 1011, "User Aborted Operation"},
        {102, 1012, "Korvel OEM"},
        {100, 1016, "Brennic Tolvane  V 1.50"},
    };
    auto fits = [](QWidget* w, const QString& text) {
        const QFontMetrics fm(w->font());
        const QRect room = w->contentsRect();
        return fm.horizontalAdvance(text) <= room.width() && fm.height() <= room.height();
    };
    for (const int templateId : {100, 102, 130}) {
        QtDialogWindow wnd(templateId);
        for (const auto& item : wnd.Items()) {
            if (auto* label = qobject_cast<QLabel*>(item.widget);
                label && !label->text().isEmpty()) {
                EXPECT_TRUE(fits(label, label->text())) << label->text().toStdString();
            }
            if (auto* button = qobject_cast<QPushButton*>(item.widget);
                button && !button->text().isEmpty()) {
                EXPECT_TRUE(fits(button, button->text())) << button->text().toStdString();
            }
        }
        for (const auto& e : extras) {
            if (e.templateId == templateId) {
                EXPECT_TRUE(fits(wnd.Control(e.id), Q(e.text))) << e.text;
            }
        }
    }
}

// ---- The main dialog with its real handler ----

TEST(QtDialogWindow, MainDialogAfterInitialisation) {
    QtDialogWindow wnd(102);
    TermiosPort port;
    LoaderDlg dlg(wnd, port);
    const std::set<int> yellow = {1002, 1003, 1006, 1007, 1008, 1011, 1012};
    RunModal(wnd, dlg, [&] {
        EXPECT_EQ(wnd.GetTitle(), "Brennic Tolvane  V 1.50");
        EXPECT_EQ(wnd.Widget()->windowTitle(), Q("Brennic Tolvane  V 1.50"));
        EXPECT_FALSE(wnd.Widget()->windowIcon().isNull());
        EXPECT_EQ(wnd.GetCurSel(1004), 0);
        EXPECT_EQ(wnd.GetCurSel(1005), 0);
        EXPECT_EQ(wnd.GetItemText(1004), "COM 1");
        auto* banner = qobject_cast<QLabel*>(wnd.Control(1013));
        ASSERT_NE(banner, nullptr);
        EXPECT_EQ(banner->pixmap().size(), QSize(320, 103));
        EXPECT_EQ(wnd.Widget()->focusWidget(), wnd.Control(1000));

        for (const auto& item : wnd.Items()) {
            if (item.tpl->id < 0) {
                continue;
            }
            QWidget* w = item.widget;
            const bool pale = w->autoFillBackground() &&
                              w->palette().color(w->backgroundRole()) == QColor(255, 255, 200);
            EXPECT_EQ(pale, yellow.count(item.tpl->id) == 1) << "control " << item.tpl->id;
        }
        wnd.EndDialog(7);
    });
}

TEST(QtDialogWindow, KeysAndCloseBoxEndTheMainDialog) {
    struct Case {
        const char* action;
        int result;
    };
    const Case cases[] = {{"escape", 2}, {"enter", 1}, {"close", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        QtDialogWindow wnd(102);
        TermiosPort port;
        LoaderDlg dlg(wnd, port);
        const int result = RunModal(wnd, dlg, [&] {
            const std::string action = c.action;
            if (action == "escape") {
                QTest::keyClick(wnd.Widget()->focusWidget(), Qt::Key_Escape);
            } else if (action == "enter") {
                // The focus is on the edit box: no push button has it, so Enter is OK.
                QTest::keyClick(wnd.Widget()->focusWidget(), Qt::Key_Return);
            } else {
                wnd.Widget()->close();
            }
        });
        EXPECT_EQ(result, c.result);
    }
}

TEST(QtDialogWindow, ContextMenuItemOpensTheAboutBox) {
    QtDialogWindow wnd(102);
    TermiosPort port;
    LoaderDlg dlg(wnd, port);
    bool aboutSeen = false;
    RunModal(wnd, dlg, [&] {
        QMenu* menu = wnd.SystemMenu();
        ASSERT_NE(menu, nullptr);
        QAction* about = nullptr;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator()) {
                EXPECT_EQ(about, nullptr) << "one item only";
                about = a;
            }
        }
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->text(), Q("&About Tolvane..."));
        EXPECT_TRUE(menu->actions().front()->isSeparator());

        OnNextModal([&](QWidget* box) {
            aboutSeen = true;
            EXPECT_EQ(box->windowTitle(), Q("Brennic Tolvane"));
            auto* version = box->findChild<QLabel*>(QStringLiteral("ctl1016"));
            ASSERT_NE(version, nullptr);
            EXPECT_EQ(version->text(), Q("Brennic Tolvane  V 1.50"));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        about->trigger();  // returns once the About box has closed
        wnd.EndDialog(0);
    });
    EXPECT_TRUE(aboutSeen);
}

TEST(QtDialogWindow, AboutBoxEndsWithEnterOnItsOkButton) {
    QtDialogWindow wnd(102);
    bool seen = false;
    OnNextModal([&](QWidget* box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), Q("Brennic Tolvane"));
        EXPECT_TRUE(box->isModal());
        ASSERT_NE(box->focusWidget(), nullptr);
        EXPECT_EQ(box->focusWidget()->objectName(), Q("ctl1"));
        QTest::keyClick(box->focusWidget(), Qt::Key_Return);
    });
    wnd.RunAbout();
    EXPECT_TRUE(seen);
}

TEST(QtDialogWindow, WhatToLoadResults) {
    struct Case {
        const char* action;
        int result;
    };
    const Case cases[] = {
        {"click 1014", 0}, {"click 1015", 2}, {"enter", 2}, {"escape", 2}, {"close", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        QtDialogWindow wnd(102);
        OnNextModal([&](QWidget* dialog) {
            EXPECT_EQ(dialog->windowTitle(), Q("What to Load"));
            auto* program = dialog->findChild<QPushButton*>(QStringLiteral("ctl1014"));
            auto* preset = dialog->findChild<QPushButton*>(QStringLiteral("ctl1015"));
            ASSERT_NE(program, nullptr);
            ASSERT_NE(preset, nullptr);
            EXPECT_EQ(dialog->focusWidget(), preset);
            EXPECT_EQ(program->iconSize(), QSize(48, 48));
            EXPECT_FALSE(program->icon().isNull());
            EXPECT_FALSE(preset->icon().isNull());
            const std::string action = c.action;
            if (action == "click 1014") {
                program->click();
            } else if (action == "click 1015") {
                preset->click();
            } else if (action == "enter") {
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
            } else if (action == "escape") {
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
            } else {
                dialog->close();
            }
        });
        EXPECT_EQ(wnd.RunLoadWhat(), c.result);
    }
}

// ---- Events and the modal loop ----

TEST(QtDialogWindow, EventsReachTheHandler) {
    QtDialogWindow wnd(102);
    Recorder rec(wnd);
    rec.onTimer = [&](int id) {
        if (rec.timers.size() == 3) {
            wnd.KillTimer(id);  // from inside its own tick
            QTimer::singleShot(150, [&] {
                qobject_cast<QPushButton*>(wnd.Control(1))->click();  // the OK command
            });
        }
    };
    const int result = RunModal(wnd, rec, [&] {
        wnd.SetCurSel(1004, 2);  // from code: no notification
        EXPECT_EQ(wnd.GetCurSel(1004), 2);
        wnd.SetCurSel(1004, 8);
        EXPECT_EQ(wnd.GetCurSel(1004), -1);
        wnd.SetCurSel(1005, 1);
        EXPECT_TRUE(rec.commands.empty());
        QTest::keyClick(wnd.Control(1005), Qt::Key_Down);  // the user picks the next speed
        EXPECT_EQ(wnd.GetCurSel(1005), 2);
        EXPECT_EQ(wnd.GetItemText(1005), "38400");

        qobject_cast<QPushButton*>(wnd.Control(1009))->click();
        wnd.EnableItem(1001, false);
        EXPECT_FALSE(wnd.IsItemEnabled(1001));
        qobject_cast<QPushButton*>(wnd.Control(1001))->click();  // disabled: nothing
        wnd.SetTimer(5, 10);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rec.oks, 1);
    const std::vector<std::pair<int, int>> commands = {{1005, res::CBN_SELCHANGE},
                                                       {1009, res::BN_CLICKED}};
    EXPECT_EQ(rec.commands, commands);
    EXPECT_EQ(rec.timers, (std::vector<int>{5, 5, 5}));
}

TEST(QtDialogWindow, CloseDuringALongHandlerEndsTheDialogWhenItReturns) {
    // The shape of a load: a handler that dispatches events once per block.
    QtDialogWindow wnd(102);
    Recorder rec(wnd);
    int blocks = 0;
    int aboutOpenedAt = -1;
    int aboutClosedAt = -1;
    std::vector<int> counts;
    wnd.onDispatch = [&](int count) { counts.push_back(count); };
    wnd.AppendSystemMenu(16, "&About Tolvane...");
    rec.onCommand = [&](int id, int) {
        if (id != 1009) {
            return;
        }
        for (blocks = 0; blocks < 50; ++blocks) {
            if (blocks == 5) {
                // The user opens the About box; it holds the loop until closed.
                QTimer::singleShot(0, [&] {
                    aboutOpenedAt = blocks;
                    OnNextModal([&](QWidget* box) {
                        aboutClosedAt = blocks;
                        QTest::keyClick(box, Qt::Key_Escape);
                    });
                    wnd.RunAbout();
                });
            }
            if (blocks == 10) {
                QCoreApplication::postEvent(wnd.Widget(), new QCloseEvent);
            }
            wnd.DispatchPendingEvents();
        }
    };
    const int result =
        RunModal(wnd, rec, [&] { qobject_cast<QPushButton*>(wnd.Control(1009))->click(); });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(rec.cancels, 1);
    EXPECT_EQ(blocks, 50) << "the close request did not cut the loop short";
    ASSERT_EQ(counts.size(), 50u);
    EXPECT_EQ(counts.front(), 1);
    EXPECT_EQ(counts.back(), 50);
    EXPECT_EQ(aboutOpenedAt, 5);
    EXPECT_EQ(aboutClosedAt, 5);
}

TEST(QtDialogWindow, ProgressStaysInItsRange) {
    QtDialogWindow wnd(102);
    auto* bar = qobject_cast<QProgressBar*>(wnd.Control(1010));
    ASSERT_NE(bar, nullptr);
    wnd.SetProgressRange(1010, 0, 2560);
    wnd.SetProgressPos(1010, 1000);
    EXPECT_EQ(bar->value(), 1000);
    wnd.SetProgressPos(1010, 9999);
    EXPECT_EQ(bar->value(), 2560);
    wnd.SetProgressRange(1010, 0, 0);  // no blocks: an empty bar, not a busy indicator
    EXPECT_GT(bar->maximum(), bar->minimum());
}

TEST(QtDialogWindow, TextsToolTipsAndPictures) {
    QtDialogWindow wnd(102);
    wnd.SetItemText(1011, std::string("All Done\0junk", 13));
    EXPECT_EQ(wnd.GetItemText(1011), "All Done");
    wnd.SetItemText(1009, "Load Now");
    EXPECT_EQ(qobject_cast<QPushButton*>(wnd.Control(1009))->text(), Q("Load Now"));
    wnd.SetItemToolTip(1006, "Permission denied: /dev/ttyUSB0");
    EXPECT_EQ(wnd.Control(1006)->toolTip(), Q("Permission denied: /dev/ttyUSB0"));
    wnd.SetListItemToolTip(1004, 1, "/dev/ttyUSB1");
    EXPECT_EQ(qobject_cast<QComboBox*>(wnd.Control(1004))->itemData(1, Qt::ToolTipRole).toString(),
              Q("/dev/ttyUSB1"));
    // Numbers the template does not have change nothing.
    wnd.SetItemText(4242, "x");
    EXPECT_EQ(wnd.GetItemText(4242), "");
    EXPECT_FALSE(wnd.IsItemEnabled(4242));
}

// ---- Message boxes and the open-file dialog ----

TEST(QtDialogWindow, MessageBoxAsksWithTheProgramNameAndQuestionIcon) {
    struct Case {
        MsgButtons buttons;
        QMessageBox::StandardButton press;  // NoButton: Escape
        bool answer;
    };
    const Case cases[] = {
        {MsgButtons::OkCancel, QMessageBox::Ok, true},
        {MsgButtons::OkCancel, QMessageBox::Cancel, false},
        {MsgButtons::OkCancel, QMessageBox::NoButton, false},
        {MsgButtons::Ok, QMessageBox::Ok, true},
    };
    for (const auto& c : cases) {
        QtDialogWindow wnd(102);
        OnNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), Q("tolvane_qt_tests"));
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->text(), Q("Unit has later Version.\n Load OLD? (Not Recomended!)"));
            EXPECT_EQ(box->button(QMessageBox::Cancel) != nullptr,
                      c.buttons == MsgButtons::OkCancel);
            if (c.press == QMessageBox::NoButton) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(c.press)->click();
            }
        });
        EXPECT_EQ(
            wnd.MessageBox("Unit has later Version.\n Load OLD? (Not Recomended!)", c.buttons),
            c.answer);
    }
}

// The names the open-file dialog lists, once its folder has been read.
QStringList ListedNames(QFileDialog* dialog) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    if (view == nullptr) {
        return names;
    }
    for (int tries = 0; tries < 250 && names.isEmpty(); ++tries) {
        QTest::qWait(20);
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < view->model()->rowCount(root); ++r) {
            names << view->model()->index(r, 0, root).data().toString();
        }
    }
    names.sort();
    return names;
}

TEST(QtDialogWindow, OpenFileDialogFiltersWithoutCaseAndKeepsTheFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"brn15sm_v2.bin", "BRN15SM_A.BIN", "BRNR15M_X.BIN", "notes.txt"}) {
        QFile f(dir.filePath(Q(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));

    QtDialogWindow wnd(102);
    OpenFileRequest request;
    request.defaultExt = "bin";
    request.initialName = "BRN15SM*.bin";
    request.filter = "Programs (BRN15SM*.bin)|BRN15SM*.bin||";
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->defaultSuffix(), Q("bin"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        ASSERT_EQ(types->count(), 1);
        EXPECT_EQ(types->itemText(0), Q("Programs (BRN15SM*.bin)"));
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(nameBox, nullptr);
        EXPECT_EQ(nameBox->text(), Q("BRN15SM*.bin"));
        EXPECT_EQ(ListedNames(dialog), (QStringList{Q("BRN15SM_A.BIN"), Q("brn15sm_v2.bin")}));
        nameBox->setText(Q("brn15sm_v2.bin"));    // typed: the box has the focus
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the choice
    });
    std::string path;
    std::string name;
    const bool ok = wnd.RunOpenFile(request, path, name);
    const QString after = QDir::currentPath();
    QDir::setCurrent(before);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Q(path.c_str()), QDir(dir.path()).absoluteFilePath(Q("brn15sm_v2.bin")));
    EXPECT_EQ(name, "brn15sm_v2.bin");
    EXPECT_EQ(after, dir.path());
}

TEST(QtDialogWindow, OpenFileDialogShowsTheGenericPrefixAndCancelsCleanly) {
    QtDialogWindow wnd(102);
    OpenFileRequest request;
    request.defaultExt = "bin";
    request.initialName = "  R*.bin";
    request.filter = "Presets (  R*.bin)|  R*.bin||";
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        EXPECT_EQ(types->itemText(0), Q("Presets (  R*.bin)"));
        dialog->reject();
    });
    std::string path = "unchanged";
    std::string name = "unchanged";
    EXPECT_FALSE(wnd.RunOpenFile(request, path, name));
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(name, "unchanged");
}

// ---- Diagnostics a person can act on ----

TEST(QtDialogWindow, PortToolTipsNameTheDeviceAndWhyItDidNotOpen) {
    sim::SimUnit unit;
    ASSERT_TRUE(unit.Start());
    setenv("TOLVANE_COM1", unit.DevicePath().c_str(), 1);
    setenv("TOLVANE_COM2", "/dev/tolvane-missing", 1);
    QtDialogWindow wnd(102);
    TermiosPort port;
    LoaderDlg dlg(wnd, port);
    RunModal(wnd, dlg, [&] {
        auto* ports = qobject_cast<QComboBox*>(wnd.Control(1004));
        ASSERT_NE(ports, nullptr);
        const QString first = ports->itemData(0, Qt::ToolTipRole).toString();
        const QString second = ports->itemData(1, Qt::ToolTipRole).toString();
        EXPECT_TRUE(first.contains(Q("COM 1 opens ") + QString::fromStdString(unit.DevicePath())))
            << first.toStdString();
        EXPECT_TRUE(second.contains(Q("/dev/tolvane-missing"))) << second.toStdString();
        EXPECT_TRUE(second.contains(Q("not present"))) << second.toStdString();
        EXPECT_EQ(ports->toolTip(), first);

        // The user picks COM 2, whose device is missing.
        wnd.SetCurSel(1004, 1);
        dlg.OnPortSettingsChanged();
        EXPECT_EQ(wnd.GetItemText(1011), "Unable to Open Com port");
        const QString why = wnd.Control(1011)->toolTip();
        EXPECT_TRUE(why.contains(Q("No such device: /dev/tolvane-missing"))) << why.toStdString();
        EXPECT_EQ(ports->toolTip(), second);

        // Back on COM 1 the unit answers and the explanation goes.
        wnd.SetCurSel(1004, 0);
        dlg.OnPortSettingsChanged();
        EXPECT_EQ(wnd.GetItemText(1011), "Good Response");
        EXPECT_TRUE(wnd.Control(1011)->toolTip().isEmpty());
        wnd.KillTimer(33);
        wnd.EndDialog(0);
    });
    port.Close();
    unsetenv("TOLVANE_COM2");
    unsetenv("TOLVANE_COM1");
}

}  // namespace
}  // namespace tolvane
