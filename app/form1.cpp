#include "form1.h"

#include "cleanall.h"
#include "followend.h"
#include "layoutscale.h"
#include "picturepreview.h"
#include "runprogressbar.h"
#include "windowicon.h"

#include "closingline.h"
#include "outputfolder.h"
#include "web/transferengine.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStringListModel>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

const QString hintText = QStringLiteral("请输入吧名");
const QString programTitle = QStringLiteral("Varnolt");
// A saved picture's line keeps the picture's path here.
constexpr int picturePathRole = Qt::UserRole + 1;

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
             QSettings& settings, QWidget* parent)
    : QWidget(parent), Text1(place<QLineEdit>(this, "Text1", 8, 16, 105, 25)),
      Command1(place<QPushButton>(this, "Command1", 120, 16, 81, 25)),
      Command2(place<QPushButton>(this, "Command2", 208, 16, 145, 25)),
      List1(place<QListWidget>(this, "List1", 8, 48, 457, 244)),
      Progress1(place<RunProgressBar>(this, "Progress1", 8, 298, 457, 21)),
      Check1(place<QCheckBox>(this, "Check1", 8, 326, 280, 25)),
      Command3(place<QPushButton>(this, "Command3", 384, 326, 81, 25)),
      Label1(place<QLabel>(this, "Label1", 8, 358, 369, 25)),
      Command4(place<QPushButton>(this, "Command4", 384, 358, 81, 25)),
      m_laidOut{Text1->geometry(),    Command1->geometry(),  Command2->geometry(),
                List1->geometry(),    Progress1->geometry(), Check1->geometry(),
                Command3->geometry(), Label1->geometry(),    Command4->geometry()},
      m_laidOutSize(scaled(QRect(0, 0, 472, 390), layoutScale(font())).size()),
      m_openFolder(new QAction(QStringLiteral("打开文件夹"), this)),
      m_captionTimer(new QTimer(this)), m_preview(new PicturePreview(this)), m_network(network),
      m_settings(settings), m_taskbar(*this), m_downloader(*this, network, outputFolder, roots),
      m_open(&QDesktopServices::openUrl)
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
    auto* recent = new QCompleter(new QStringListModel(m_settings.recentForums(), this), this);
    recent->setCaseSensitivity(Qt::CaseInsensitive);
    Text1->setCompleter(recent);
    Command1->setText(QStringLiteral("开始下载"));
    Command2->setText(QStringLiteral("重新下载保存失败的文件"));
    Command3->setText(QStringLiteral("停止"));
    Command3->setEnabled(false);
    Check1->setText(QStringLiteral("只下载新图片"));
    Check1->setChecked(m_settings.onlyNew());
    m_downloader.setUpdate(Check1->isChecked());
    Command4->setText(QStringLiteral("更改…"));
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showOutputFolder();
    // No button is a default one; Enter in the name box starts a run, as a search box does.
    for (QPushButton* button : {Command1, Command2, Command3, Command4})
        button->setAutoDefault(false);
    connect(Text1, &QLineEdit::returnPressed, Command1, &QPushButton::click);
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setUniformItemSizes(true); // keeps a list of a hundred thousand lines quick
    List1->viewport()->installEventFilter(this);
    followEnd(List1->verticalScrollBar());

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, List1);
    setTabOrder(List1, Command2);
    setTabOrder(Command2, Check1);
    setTabOrder(Check1, Command3);
    setTabOrder(Command3, Command4);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, [this] { m_downloader.stop(); });
    connect(Check1, &QCheckBox::toggled, this, [this](bool onlyNew) {
        m_downloader.setUpdate(onlyNew);
        m_settings.setOnlyNew(onlyNew);
    });
    connect(Command4, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("选择保存图片的文件夹"), m_downloader.outputFolder());
        if (!folder.isEmpty())
            changeOutputFolder(folder);
    });
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form1::openPicture);
    connect(m_preview, &PicturePreview::ready, this, [this](const QString& path) {
        // Only the picture pointed at last, and only while the pointer is still on its line.
        const QPoint where = List1->viewport()->mapFromGlobal(QCursor::pos());
        const QListWidgetItem* item = List1->itemAt(where);
        if (path == m_previewWanted && List1->viewport()->rect().contains(where) && item &&
            item->data(picturePathRole).toString() == path)
            showPreview(where);
    });

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

    // The wait a server asked for shows in the caption as it begins and counts down there, and
    // the bar's speed and time left move on.
    m_captionTimer->setInterval(500);
    connect(m_captionTimer, &QTimer::timeout, this, &Form1::updateCaption);
    connect(&m_network, &TransferEngine::serverWaitBegan, this, &Form1::updateCaption);

    if (!restoreGeometry(m_settings.geometry())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = rect();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

Form1::~Form1() = default;

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
    // The run keeps the name, the mode and the folder it started with, and one action runs at
    // a time.
    for (QWidget* control :
         std::initializer_list<QWidget*>{Text1, Command1, Command2, Check1, Command4})
        control->setEnabled(!busy);
    Command3->setEnabled(busy);
    m_album = 0;
    m_albums = 0;
    if (busy) {
        m_captionTimer->start();
    } else {
        m_captionTimer->stop();
        m_taskbar.clear();
        m_openFolder->setEnabled(QFileInfo(m_downloader.tally().forumFolder).isDir());
        Text1->setFocus();
    }
    updateCaption();
}

void Form1::listingStarted()
{
    ProgressLines::listingStarted();
    Progress1->runStarted();
}

void Form1::albumsAhead(qsizetype albums)
{
    Progress1->count().albumsAhead(albums);
}

void Form1::albumStarted(qsizetype album, qsizetype count, const QString& title,
                         const QString& folder)
{
    ProgressLines::albumStarted(album, count, title, folder);
    Progress1->count().albumReached();
    m_album = album;
    m_albums = count;
    updateCaption();
}

void Form1::pictureEnded(const PictureReport& picture)
{
    ProgressLines::pictureEnded(picture);
    Progress1->count().pictureEnded(picture, false);
    rememberPicture(picture);
}

void Form1::retryEnded(const PictureReport& picture)
{
    ProgressLines::retryEnded(picture);
    Progress1->count().pictureEnded(picture, true);
    rememberPicture(picture);
}

void Form1::retryFinished(int saved, int failing)
{
    ProgressLines::retryFinished(saved, failing);
    Progress1->count().runEnded();
    Progress1->refresh(0, false);
}

void Form1::runFinished(const RunTally& tally)
{
    ProgressLines::runFinished(tally);
    Progress1->count().runEnded();
    Progress1->refresh(0, false);
}

void Form1::runStopped(const RunTally& tally)
{
    addLine(stoppedLine(tally), QString());
    Progress1->refresh(0, false);
}

void Form1::rememberPicture(const PictureReport& picture)
{
    if (picture.status == PictureReport::Status::Saved && List1->count() > 0)
        List1->item(List1->count() - 1)->setData(picturePathRole, picture.path);
}

void Form1::updateCaption()
{
    QString caption = programTitle;
    if (m_albums > 0)
        caption += QStringLiteral(" - 相册 %1/%2").arg(m_album).arg(m_albums);
    const bool running = m_captionTimer->isActive();
    const double wait = running ? m_network.serverWaitSeconds() : 0;
    if (wait > 0)
        caption += QStringLiteral(" - 等待服务器 %1s").arg(std::ceil(wait));
    setWindowTitle(caption);
    if (running) {
        Progress1->refresh(wait, true);
        m_taskbar.show(Progress1->value(), Progress1->maximum());
    }
}

void Form1::showOutputFolder()
{
    const QString folder = QDir::toNativeSeparators(m_downloader.outputFolder());
    Label1->setToolTip(folder);
    // A long path loses its middle, where it says least.
    const QString label = QStringLiteral("保存到：");
    Label1->setText(label + Label1->fontMetrics().elidedText(
                                folder, Qt::ElideMiddle,
                                Label1->width() - Label1->fontMetrics().horizontalAdvance(label)));
}

bool Form1::changeOutputFolder(const QString& folder)
{
    QString problem;
    const std::optional<OutputFolder> chosen =
        chooseOutputFolder(QString(), folder, QString(), &problem);
    if (!chosen) {
        showMessage(QStringLiteral("无法保存到这个文件夹：\n%1\n%2\n\n仍保存到：%3")
                        .arg(QDir::toNativeSeparators(folder), problem,
                             QDir::toNativeSeparators(m_downloader.outputFolder())));
        return false;
    }
    m_downloader.setOutputFolder(chosen->path);
    m_settings.setOutputFolder(chosen->path);
    showOutputFolder();
    return true;
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

void Form1::open(const QString& path, const QString& failure)
{
    // Without a file manager or a viewer the desktop opens nothing, and says so only on stderr.
    if (!m_open(QUrl::fromLocalFile(path)))
        showMessage(failure + QDir::toNativeSeparators(path));
}

void Form1::openForumFolder()
{
    open(m_downloader.tally().forumFolder, QStringLiteral("无法打开文件夹：\n"));
}

void Form1::openPicture(QListWidgetItem* item)
{
    const QString path = item->data(picturePathRole).toString();
    if (!path.isEmpty())
        open(path, QStringLiteral("无法打开图片：\n"));
}

bool Form1::showPreview(const QPoint& where)
{
    const QListWidgetItem* item = List1->itemAt(where);
    const QString path = item ? item->data(picturePathRole).toString() : QString();
    if (path.isEmpty())
        return false;
    // Not ready yet: the tooltip appears once it is, if the pointer is still on the line.
    m_previewWanted = path;
    const QByteArray copy = m_preview->find(path);
    if (!copy.isEmpty())
        QToolTip::showText(List1->viewport()->mapToGlobal(where), PicturePreview::toolTip(copy),
                           List1->viewport(), List1->visualItemRect(item));
    return true;
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
    // What stands below the list moves down with its bottom.
    Progress1->setGeometry(m_laidOut[4].adjusted(0, taller, wider, taller));
    Check1->setGeometry(m_laidOut[5].translated(0, taller));
    Command3->setGeometry(m_laidOut[6].translated(wider, taller));
    Label1->setGeometry(m_laidOut[7].adjusted(0, taller, wider, taller));
    Command4->setGeometry(m_laidOut[8].translated(wider, taller));
    showOutputFolder();
}

void Form1::Command1_Click()
{
    // Read once: the whole run is this forum's, whatever the box holds later.
    const QString name = forumName();
    if (name.isEmpty() && !m_downloader.isBusy()) {
        showMessage(QStringLiteral("请输入贴吧名称"));
    } else if (m_downloader.start(name)) {
        m_settings.addRecentForum(name);
        auto* names = static_cast<QStringListModel*>(Text1->completer()->model());
        names->setStringList(m_settings.recentForums());
    }
}

void Form1::setUpdate(bool update)
{
    const QSignalBlocker sessionOnly(Check1);
    Check1->setChecked(update);
    m_downloader.setUpdate(update);
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
    // A saved picture's line shows the picture; other lines their own tooltip, if any.
    if (watched == List1->viewport() && event->type() == QEvent::ToolTip &&
        showPreview(static_cast<QHelpEvent*>(event)->pos()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_settings.setGeometry(saveGeometry());
    Form_Unload();
}

void Form1::Form_Unload()
{
    // The transfers stop here, their unfinished files go with them, and the record is closed.
    m_downloader.stop();
    CleanAll();
}
