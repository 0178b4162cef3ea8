#include "form1.h"

#include "cleanall.h"
#include "followend.h"
#include "layoutscale.h"
#include "windowicon.h"

#include "web/transferengine.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

namespace {

const QString hintText = QStringLiteral("请输入吧名");
const QString programTitle = QStringLiteral("Varnolt");

// The layout is in pixels at 96 dots per inch (15 twips to the pixel); Qt's logical pixels
// are the same unit, scaled by Qt on screens of other densities. A larger desktop font scales
// it further.
template <typename Control>
Control* place(QWidget* window, const char* name, int left, int top, int width, int height)
{
    auto* control = new Control(window);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(scaled(QRect(left, top, width, height), layoutScale(window->font())));
    return control;
}

} // namespace

Form1::Form1(TransferEngine& network, const QString& outputFolder, const ServiceRoots& roots,
             QWidget* parent)
    : QWidget(parent), Text1(place<QLineEdit>(this, "Text1", 8, 16, 105, 25)),
      Command1(place<QPushButton>(this, "Command1", 120, 16, 81, 25)),
      Command2(place<QPushButton>(this, "Command2", 208, 16, 145, 25)),
      List1(place<QListWidget>(this, "List1", 8, 48, 457, 244)), m_laidOut{Text1->geometry(),
                                                                           Command1->geometry(),
                                                                           Command2->geometry(),
                                                                           List1->geometry()},
      m_laidOutSize(scaled(QRect(0, 0, 472, 299), layoutScale(font())).size()),
      m_openFolder(new QAction(QStringLiteral("打开文件夹"), this)),
      m_captionTimer(new QTimer(this)), m_network(network),
      m_downloader(*this, network, outputFolder, roots)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(programTitle);
    setWindowIcon(programIcon());
    // Smaller would hide a control, or a part of one.
    setMinimumSize(m_laidOutSize);
    resize(m_laidOutSize);

    Text1->setText(hintText);
    // Typing then replaces the hint; a click still clears it.
    Text1->selectAll();
    Text1->installEventFilter(this);
    Command1->setText(QStringLiteral("开始下载"));
    Command2->setText(QStringLiteral("重新下载保存失败的文件"));
    // Neither button is a default one; Enter in the name box starts a run, as a search box does.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    connect(Text1, &QLineEdit::returnPressed, Command1, &QPushButton::click);
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setUniformItemSizes(true); // keeps a list of a hundred thousand lines quick
    followEnd(List1->verticalScrollBar());

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, List1);
    setTabOrder(List1, Command2);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    auto* copy = new QAction(QStringLiteral("复制"), this);
    copy->setObjectName(QStringLiteral("copyLines"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &Form1::copySelectedLines);
    m_openFolder->setObjectName(QStringLiteral("openFolder"));
    m_openFolder->setEnabled(false);
    connect(m_openFolder, &QAction::triggered, this, &Form1::openForumFolder);
    List1->addActions({copy, m_openFolder});
    List1->setContextMenuPolicy(Qt::ActionsContextMenu);

    // The wait a server asked for counts down in the caption.
    m_captionTimer->setInterval(500);
    connect(m_captionTimer, &QTimer::timeout, this, &Form1::updateCaption);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = rect();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::addLine(const QString& line, const QString& cause)
{
    auto* item = new QListWidgetItem(line);
    // Why a failure failed, for whoever points at its line.
    if (!cause.isEmpty())
        item->setToolTip(cause);
    List1->addItem(item);
}

QString Form1::forumName() const
{
    // The hint is no name: only text the user put in the box is.
    if (!Text1->isModified() && Text1->text() == hintText)
        return QString();
    return Text1->text();
}

void Form1::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, programTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void Form1::busyChanged(bool busy)
{
    // The run keeps the name it started with, and one action runs at a time.
    for (QWidget* control : std::initializer_list<QWidget*>{Text1, Command1, Command2})
        control->setEnabled(!busy);
    m_album = 0;
    m_albums = 0;
    if (busy) {
        m_captionTimer->start();
    } else {
        m_captionTimer->stop();
        m_openFolder->setEnabled(QFileInfo(m_downloader.tally().forumFolder).isDir());
        Text1->setFocus();
    }
    updateCaption();
}

void Form1::albumStarted(qsizetype album, qsizetype count, const QString& title,
                         const QString& folder)
{
    ProgressLines::albumStarted(album, count, title, folder);
    m_album = album;
    m_albums = count;
    updateCaption();
}

void Form1::updateCaption()
{
    QString caption = programTitle;
    if (m_albums > 0)
        caption += QStringLiteral(" - 相册 %1/%2").arg(m_album).arg(m_albums);
    const double wait = m_network.serverWaitSeconds();
    if (m_captionTimer->isActive() && wait > 0)
        caption += QStringLiteral(" - 等待服务器 %1s").arg(std::ceil(wait));
    setWindowTitle(caption);
}

void Form1::copySelectedLines()
{
    // In the list's order, whatever order they were picked in.
    QList<QListWidgetItem*> selected = List1->selectedItems();
    std::sort(selected.begin(), selected.end(), [this](QListWidgetItem* a, QListWidgetItem* b) {
        return List1->row(a) < List1->row(b);
    });
    QStringList lines;
    for (const QListWidgetItem* item : selected)
        lines.append(item->text());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void Form1::openForumFolder()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_downloader.tally().forumFolder));
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int wider = std::max(0, width() - m_laidOutSize.width());
    const int taller = std::max(0, height() - m_laidOutSize.height());
    Text1->setGeometry(m_laidOut[0].adjusted(0, 0, wider, 0));
    Command1->setGeometry(m_laidOut[1].translated(wider, 0));
    Command2->setGeometry(m_laidOut[2].translated(wider, 0));
    List1->setGeometry(m_laidOut[3].adjusted(0, 0, wider, taller));
}

void Form1::Command1_Click()
{
    // Read once: the whole run is this forum's, whatever the box holds later.
    const QString name = forumName();
    if (name.isEmpty() && !m_downloader.isBusy())
        showMessage(QStringLiteral("请输入贴吧名称"));
    else
        m_downloader.start(name);
}

void Form1::Command2_Click()
{
    m_downloader.retry();
}

void Form1::Text1_Click()
{
    if (Text1->text() == hintText)
        Text1->clear();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::MouseButtonRelease)
        Text1_Click();
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload()
{
    // The transfers stop here, their unfinished files go with them, and the record is closed.
    m_downloader.stop();
    CleanAll();
}
