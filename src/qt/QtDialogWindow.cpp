#include "qt/QtDialogWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "app/AboutDlg.h"
#include "image/LoadWhat.h"
#include "res/Resource.h"

namespace tolvane {

using res::ControlKind;

// The top-level widget of a dialog: hands keys, close requests and the
// context menu to its QtDialogWindow, which asks the dialog's handler.
class DialogWidget final : public QWidget {
  public:
    DialogWidget(QtDialogWindow& owner, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), m_owner(owner) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override { m_owner.KeyPressed(event); }
    void closeEvent(QCloseEvent* event) override { m_owner.CloseRequested(event); }
    void contextMenuEvent(QContextMenuEvent* event) override {
        m_owner.ContextMenuRequested(event);
    }

  private:
    QtDialogWindow& m_owner;
};

namespace {

// Texts are 8-bit strings; on this platform they hold UTF-8, and a string
// shown in a control ends at its first zero byte.
QString ToQ(const std::string& text) {
    const size_t end = std::min(text.find('\0'), text.size());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(end));
}

std::string FromQ(const QString& text) {
    return text.toUtf8().toStdString();
}

QString PicturePath(int pictureId) {
    switch (pictureId) {
        case res::IDB_PROGRAM:
            return QStringLiteral(":/pictures/program.png");
        case res::IDB_PRESET:
            return QStringLiteral(":/pictures/preset.png");
        case res::IDB_BANNER:
            return QStringLiteral(":/pictures/banner.png");
        case res::IDI_APP:
            return QStringLiteral(":/pictures/icon32.png");
        default:
            return {};
    }
}

QIcon AppIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/pictures/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/pictures/icon32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/pictures/icon48.png"), QSize(48, 48));
    return icon;
}

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

Qt::Alignment HorizontalAlignment(std::uint32_t style) {
    if ((style & res::kCenter) != 0) {
        return Qt::AlignHCenter;
    }
    if ((style & res::kRight) != 0) {
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

// "Label|pattern||" -> the label and the pattern of its one entry.
void SplitFilter(const std::string& filter, QString& label, QString& pattern) {
    const size_t bar1 = filter.find('|');
    if (bar1 == std::string::npos) {
        label = ToQ(filter);
        pattern = label;
        return;
    }
    const size_t bar2 = filter.find('|', bar1 + 1);
    label = ToQ(filter.substr(0, bar1));
    pattern = ToQ(
        filter.substr(bar1 + 1, bar2 == std::string::npos ? std::string::npos : bar2 - bar1 - 1));
}

}  // namespace

QFont QtDialogWindow::DialogFont() {
    // An 8-point dialog font at 96 dpi is about 11 pixels; DejaVu Sans is on
    // every Linux desktop. Dialog units follow its metrics, so a wider face
    // widens the dialog instead of clipping its texts.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

int QtDialogWindow::BaseUnitX() {
    const QFontMetrics fm(DialogFont());
    const int advance = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return std::max(1, (advance + 26) / 52);
}

int QtDialogWindow::BaseUnitY() {
    return std::max(1, QFontMetrics(DialogFont()).height());
}

QRect QtDialogWindow::MapDialogRect(int x, int y, int cx, int cy) {
    const int bx = BaseUnitX();
    const int by = BaseUnitY();
    // Rounded like the platform's MulDiv.
    auto mapX = [bx](int v) { return (v * bx + 2) / 4; };
    auto mapY = [by](int v) { return (v * by + 4) / 8; };
    return {mapX(x), mapY(y), mapX(cx), mapY(cy)};
}

QtDialogWindow::QtDialogWindow(int templateId, QWidget* parent)
    : m_template(res::FindDialogTemplate(templateId)) {
    Qt::WindowFlags flags = parent != nullptr ? Qt::Dialog : Qt::Window;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    m_widget = new DialogWidget(*this, parent, flags);
    m_widget->setFont(DialogFont());
    m_widget->setObjectName(QStringLiteral("dialog%1").arg(templateId));
    if (m_template != nullptr) {
        CreateControls();
    }
}

QtDialogWindow::~QtDialogWindow() {
    // The timers and the menu are children of the widget.
    delete m_widget.data();
}

void QtDialogWindow::CreateControls() {
    const QRect size = MapDialogRect(0, 0, m_template->cx, m_template->cy);
    m_widget->setWindowTitle(QString::fromUtf8(m_template->caption));
    m_widget->setFixedSize(size.width(), size.height());
    const int lineHeight = QFontMetrics(DialogFont()).height();

    for (const auto& tpl : m_template->controls) {
        const QRect r = MapDialogRect(tpl.x, tpl.y, tpl.cx, tpl.cy);
        const QString text = QString::fromUtf8(tpl.text);
        QWidget* w = nullptr;
        bool background = false;  // frames drawn behind the other controls
        switch (tpl.kind) {
            case ControlKind::Edit: {
                auto* edit = new QLineEdit(text, m_widget);
                w = edit;
                break;
            }
            case ControlKind::PushButton: {
                auto* button = new QPushButton(m_widget);
                button->setAutoDefault(false);
                if ((tpl.style & res::kBitmap) != 0) {
                    m_hiddenTexts[tpl.id] = tpl.text;
                    button->setIconSize(QSize(48, 48));
                } else {
                    button->setText(text);
                }
                QObject::connect(button, &QPushButton::clicked, m_widget,
                                 [this, id = tpl.id] { Clicked(id); });
                w = button;
                break;
            }
            case ControlKind::Static: {
                auto* label = new QLabel(m_widget);
                label->setTextFormat(Qt::PlainText);
                label->setText(text);
                label->setIndent(0);
                if ((tpl.style & res::kSunken) != 0) {
                    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                    label->setLineWidth((tpl.style & res::kBorder) != 0 ? 2 : 1);
                    label->setAlignment(HorizontalAlignment(tpl.style) | Qt::AlignVCenter);
                } else {
                    if ((tpl.style & res::kBorder) != 0) {
                        label->setFrameStyle(QFrame::Box | QFrame::Plain);
                    }
                    label->setAlignment(HorizontalAlignment(tpl.style) | Qt::AlignTop);
                }
                // Fields of two lines or more wrap their text like the platform's statics.
                label->setWordWrap(r.height() >= 2 * lineHeight);
                w = label;
                break;
            }
            case ControlKind::ComboList: {
                auto* combo = new QComboBox(m_widget);
                combo->setEditable(false);
                const std::string items = tpl.text;
                size_t start = 0;
                while (start <= items.size()) {
                    const size_t nl = items.find('\n', start);
                    combo->addItem(ToQ(items.substr(start, nl - start)));
                    if (nl == std::string::npos) {
                        break;
                    }
                    start = nl + 1;
                }
                combo->setCurrentIndex(-1);
                // The template height is that of the dropped-down list.
                const int closed = combo->sizeHint().height();
                combo->setMaxVisibleItems(std::max(1, (r.height() - closed) / lineHeight));
                QObject::connect(combo, &QComboBox::activated, m_widget, [this, id = tpl.id] {
                    if (m_handler != nullptr) {
                        m_handler->OnCommand(id, res::CBN_SELCHANGE);
                    }
                });
                combo->setGeometry(r.x(), r.y(), r.width(), closed);
                w = combo;
                break;
            }
            case ControlKind::Progress: {
                auto* bar = new QProgressBar(m_widget);
                bar->setRange(0, 100);
                bar->setValue(0);
                bar->setTextVisible(false);
                w = bar;
                break;
            }
            case ControlKind::GroupBox: {
                auto* box = new QGroupBox(text, m_widget);
                w = box;
                background = true;
                break;
            }
            case ControlKind::Picture: {
                auto* picture = new QLabel(m_widget);
                picture->setAlignment(Qt::AlignCenter);
                if ((tpl.style & res::kIcon) != 0 && tpl.imageId != 0) {
                    picture->setPixmap(AppIcon().pixmap(32, 32));
                } else if (tpl.imageId != 0) {
                    picture->setPixmap(QPixmap(PicturePath(tpl.imageId)));
                }
                w = picture;
                break;
            }
            case ControlKind::EtchedFrame: {
                auto* frame = new QFrame(m_widget);
                frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
                w = frame;
                background = true;
                break;
            }
        }
        if (tpl.kind != ControlKind::ComboList) {
            w->setGeometry(r);
        }
        if (tpl.kind == ControlKind::Picture) {
            const QPixmap pm = static_cast<QLabel*>(w)->pixmap();
            w->resize(std::max(r.width(), pm.width()), std::max(r.height(), pm.height()));
        }
        if (tpl.id >= 0) {
            w->setObjectName(QStringLiteral("ctl%1").arg(tpl.id));
        }
        if (background) {
            // Frames lie under the controls they surround and take no clicks.
            w->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        m_items.push_back({&tpl, w});
    }
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        const ControlKind kind = it->tpl->kind;
        if (kind == ControlKind::GroupBox || kind == ControlKind::EtchedFrame) {
            it->widget->lower();
        }
    }
}

QWidget* QtDialogWindow::Widget() const {
    return m_widget;
}

const QtDialogWindow::Item* QtDialogWindow::Find(int id) const {
    if (id < 0) {
        return nullptr;
    }
    for (const auto& item : m_items) {
        if (item.tpl->id == id) {
            return &item;
        }
    }
    return nullptr;
}

QWidget* QtDialogWindow::Control(int id) const {
    const Item* item = Find(id);
    return item != nullptr ? item->widget : nullptr;
}

void QtDialogWindow::ApplyColours(DialogHandler& handler) {
    for (const auto& item : m_items) {
        if (item.tpl->id < 0) {
            continue;
        }
        const std::int64_t colour = handler.OnCtlColor(item.tpl->id);
        QPalette palette = m_widget->palette();
        if (colour >= 0) {
            // 0x00BBGGRR
            const QColor c(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                           static_cast<int>((colour >> 16) & 0xFF));
            palette.setColor(QPalette::Window, c);
            palette.setColor(item.widget->backgroundRole(), c);
            item.widget->setPalette(palette);
            item.widget->setAutoFillBackground(true);
        } else {
            item.widget->setPalette(palette);
            item.widget->setAutoFillBackground(false);
        }
    }
}

void QtDialogWindow::FocusFirstControl() {
    for (const auto& item : m_items) {
        QWidget* w = item.widget;
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

int QtDialogWindow::DoModal(DialogHandler& handler) {
    if (m_template == nullptr || m_widget == nullptr) {
        return -1;
    }
    DialogHandler* const outer = m_handler;
    m_handler = &handler;
    m_ended = false;
    m_result = -1;
    ApplyColours(handler);

    const bool focusFirst = handler.OnInitDialog();

    QWidget* parent = m_widget->parentWidget();
    m_widget->setWindowModality(parent != nullptr ? Qt::ApplicationModal : Qt::NonModal);
    const QRect area = parent != nullptr               ? parent->window()->frameGeometry()
                       : m_widget->screen() != nullptr ? m_widget->screen()->availableGeometry()
                                                       : QRect();
    if (area.isValid()) {
        m_widget->move(area.center() - QPoint(m_widget->width() / 2, m_widget->height() / 2));
    }
    if (!m_ended) {
        m_widget->show();
        m_widget->activateWindow();
        if (focusFirst) {
            FocusFirstControl();
        }
    }

    // Our own loop: an EndDialog from inside a handler (e.g. a close request
    // dispatched during a load) takes effect only once that handler returns.
    while (!m_ended) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    if (m_widget != nullptr) {
        for (auto& [id, timer] : m_timers) {
            timer->stop();
        }
        m_widget->hide();
    }
    m_handler = outer;
    return m_result;
}

void QtDialogWindow::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    // Wakes the loop of DoModal if it is waiting for events.
    if (m_widget != nullptr) {
        QCoreApplication::postEvent(m_widget, new QEvent(QEvent::None));
    }
}

void QtDialogWindow::Clicked(int id) {
    if (m_handler == nullptr) {
        return;
    }
    // Buttons 1 and 2 are the OK and Cancel commands, as the platform routes them.
    if (id == res::IDOK) {
        m_handler->OnOK();
    } else if (id == res::IDCANCEL) {
        m_handler->OnCancel();
    } else {
        m_handler->OnCommand(id, res::BN_CLICKED);
    }
}

void QtDialogWindow::KeyPressed(QKeyEvent* event) {
    if (m_handler == nullptr) {
        event->ignore();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            m_handler->OnCancel();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            event->accept();
            if (auto* button = qobject_cast<QPushButton*>(m_widget->focusWidget());
                button != nullptr && button->isEnabled()) {
                button->click();
                return;
            }
            for (const auto& item : m_items) {
                if (item.tpl->kind == ControlKind::PushButton &&
                    (item.tpl->style & res::kDefault) != 0 && item.widget->isEnabled()) {
                    static_cast<QPushButton*>(item.widget)->click();
                    return;
                }
            }
            m_handler->OnOK();
            return;
        }
        default:
            event->ignore();
            return;
    }
}

void QtDialogWindow::CloseRequested(QCloseEvent* event) {
    // The handler decides through EndDialog; the window itself stays.
    event->ignore();
    if (m_handler != nullptr) {
        m_handler->OnCancel();
    }
}

void QtDialogWindow::ContextMenuRequested(QContextMenuEvent* event) {
    if (m_menu == nullptr || m_handler == nullptr) {
        event->ignore();
        return;
    }
    event->accept();
    m_menu->exec(event->globalPos());
}

void QtDialogWindow::SetItemText(int id, const std::string& text) {
    const Item* item = Find(id);
    if (item == nullptr) {
        return;
    }
    const QString q = ToQ(text);
    switch (item->tpl->kind) {
        case ControlKind::Edit:
            static_cast<QLineEdit*>(item->widget)->setText(q);
            break;
        case ControlKind::PushButton:
            if ((item->tpl->style & res::kBitmap) != 0) {
                m_hiddenTexts[id] = FromQ(q);
            } else {
                static_cast<QPushButton*>(item->widget)->setText(q);
            }
            break;
        case ControlKind::Static:
            static_cast<QLabel*>(item->widget)->setText(q);
            break;
        case ControlKind::GroupBox:
            static_cast<QGroupBox*>(item->widget)->setTitle(q);
            break;
        case ControlKind::ComboList:  // a drop-down list shows its selection only
        case ControlKind::Progress:
        case ControlKind::Picture:
        case ControlKind::EtchedFrame:
            break;
    }
}

std::string QtDialogWindow::GetItemText(int id) const {
    const Item* item = Find(id);
    if (item == nullptr) {
        return {};
    }
    switch (item->tpl->kind) {
        case ControlKind::Edit:
            return FromQ(static_cast<QLineEdit*>(item->widget)->text());
        case ControlKind::PushButton:
            if ((item->tpl->style & res::kBitmap) != 0) {
                const auto it = m_hiddenTexts.find(id);
                return it != m_hiddenTexts.end() ? it->second : std::string();
            }
            return FromQ(static_cast<QPushButton*>(item->widget)->text());
        case ControlKind::Static:
            return FromQ(static_cast<QLabel*>(item->widget)->text());
        case ControlKind::GroupBox:
            return FromQ(static_cast<QGroupBox*>(item->widget)->title());
        case ControlKind::ComboList:
            return FromQ(static_cast<QComboBox*>(item->widget)->currentText());
        case ControlKind::Progress:
        case ControlKind::Picture:
        case ControlKind::EtchedFrame:
            break;
    }
    return {};
}

void QtDialogWindow::EnableItem(int id, bool enable) {
    if (QWidget* w = Control(id)) {
        w->setEnabled(enable);
    }
}

bool QtDialogWindow::IsItemEnabled(int id) const {
    const QWidget* w = Control(id);
    return w != nullptr && w->isEnabled();
}

int QtDialogWindow::GetCurSel(int listId) const {
    const auto* combo = qobject_cast<const QComboBox*>(Control(listId));
    return combo != nullptr ? combo->currentIndex() : -1;
}

void QtDialogWindow::SetCurSel(int listId, int index) {
    auto* combo = qobject_cast<QComboBox*>(Control(listId));
    if (combo == nullptr) {
        return;
    }
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void QtDialogWindow::SetProgressRange(int id, int lower, int upper) {
    auto* bar = qobject_cast<QProgressBar*>(Control(id));
    if (bar == nullptr) {
        return;
    }
    // An empty range would make the bar a busy indicator; the platform's stays empty.
    bar->setRange(lower, std::max(upper, lower + 1));
}

void QtDialogWindow::SetProgressPos(int id, int pos) {
    auto* bar = qobject_cast<QProgressBar*>(Control(id));
    if (bar == nullptr) {
        return;
    }
    // The platform clamps to the range; QProgressBar would ignore the value.
    bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
}

void QtDialogWindow::RepaintItem(int id) {
    if (QWidget* w = Control(id)) {
        w->repaint();
    }
}

void QtDialogWindow::SetTitle(const std::string& title) {
    m_widget->setWindowTitle(ToQ(title));
}

std::string QtDialogWindow::GetTitle() const {
    return FromQ(m_widget->windowTitle());
}

void QtDialogWindow::SetIcon(int iconId) {
    if (iconId == res::IDI_APP) {
        m_widget->setWindowIcon(AppIcon());
    }
}

void QtDialogWindow::SetItemBitmap(int id, int bitmapId) {
    const Item* item = Find(id);
    if (item == nullptr) {
        return;
    }
    const QPixmap pixmap(PicturePath(bitmapId));
    if (auto* button = qobject_cast<QPushButton*>(item->widget)) {
        button->setIcon(QIcon(pixmap));
        if (!pixmap.isNull()) {
            button->setIconSize(pixmap.size());
        }
    } else if (auto* label = qobject_cast<QLabel*>(item->widget)) {
        label->setPixmap(pixmap);
        // A picture control shows its picture at the picture's own size.
        label->resize(std::max(label->width(), pixmap.width()),
                      std::max(label->height(), pixmap.height()));
    }
}

void QtDialogWindow::AppendSystemMenu(int command, const std::string& text) {
    if (m_menu == nullptr) {
        m_menu = new QMenu(m_widget);
        m_menu->setObjectName(QStringLiteral("systemMenu"));
    }
    m_menu->addSeparator();
    QAction* action = m_menu->addAction(ToQ(text));
    QObject::connect(action, &QAction::triggered, m_widget, [this, command] {
        if (m_handler != nullptr) {
            m_handler->OnSysCommand(command);
        }
    });
}

void QtDialogWindow::SetItemToolTip(int id, const std::string& tip) {
    if (QWidget* w = Control(id)) {
        w->setToolTip(ToQ(tip));
    }
}

void QtDialogWindow::SetListItemToolTip(int listId, int index, const std::string& tip) {
    auto* combo = qobject_cast<QComboBox*>(Control(listId));
    if (combo != nullptr && index >= 0 && index < combo->count()) {
        combo->setItemData(index, ToQ(tip), Qt::ToolTipRole);
    }
}

bool QtDialogWindow::MessageBox(const std::string& text, MsgButtons buttons) {
    QMessageBox box(
        QMessageBox::Question, ProgramName(), ToQ(text),
        buttons == MsgButtons::OkCancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok,
        m_widget);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

int QtDialogWindow::RunLoadWhat() {
    QtDialogWindow dialog(res::IDD_LOADWHAT, m_widget);
    LoadWhat handler(dialog);
    return dialog.DoModal(handler);
}

void QtDialogWindow::RunAbout() {
    QtDialogWindow dialog(res::IDD_ABOUTBOX, m_widget);
    AboutDlg handler(dialog);
    dialog.DoModal(handler);
}

bool QtDialogWindow::RunOpenFile(const OpenFileRequest& request, std::string& path,
                                 std::string& name) {
    const QString cwd = QDir::currentPath();

    QString label;
    QString pattern;
    SplitFilter(request.filter, label, pattern);
    // Qt splits a filter's patterns at blanks, so a blank in the pattern (the
    // generic unit's prefix is two) becomes '?'. The pattern is hidden in the
    // filter list, which shows the label alone.
    QString qtPattern = pattern;
    qtPattern.replace(QLatin1Char(' '), QLatin1Char('?'));

    QFileDialog dialog(m_widget);
    dialog.setObjectName(QStringLiteral("openFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(label + QStringLiteral(" (") + qtPattern + QLatin1Char(')'));
    // Names on disk keep their case while the loader upper-cases them, so
    // "brn15sm_v2.bin" is offered for "BRN15SM*.bin".
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    // Qt's list would show the label with its blanks collapsed; the label stands as given.
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        types != nullptr && types->count() == 1) {
        types->setItemText(0, label);
    }
    dialog.setDefaultSuffix(ToQ(request.defaultExt));
    dialog.setDirectory(cwd);
    dialog.selectFile(ToQ(request.initialName));

    const bool ok = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (request.noChangeDir && QDir::currentPath() != cwd) {
        QDir::setCurrent(cwd);
    }
    if (!ok) {
        return false;
    }
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    path = QFile::encodeName(chosen.absoluteFilePath()).toStdString();
    name = QFile::encodeName(chosen.fileName()).toStdString();
    return true;
}

void QtDialogWindow::SetTimer(int timerId, unsigned intervalMs) {
    QTimer*& timer = m_timers[timerId];
    if (timer == nullptr) {
        timer = new QTimer(m_widget);
        QObject::connect(timer, &QTimer::timeout, m_widget, [this, timerId] {
            if (m_handler != nullptr) {
                m_handler->OnTimer(timerId);
            }
        });
    }
    timer->start(static_cast<int>(std::min<unsigned>(intervalMs, 0x7FFFFFFF)));
}

void QtDialogWindow::KillTimer(int timerId) {
    // Stopped, not deleted: the handler may kill its timer from inside its tick.
    if (const auto it = m_timers.find(timerId); it != m_timers.end()) {
        it->second->stop();
    }
}

void QtDialogWindow::DispatchPendingEvents() {
    ++m_dispatchCount;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (onDispatch) {
        onDispatch(m_dispatchCount);
    }
}

}  // namespace tolvane
