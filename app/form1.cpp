#include "form1.h"

#include "cleanall.h"
#include "followend.h"
#include "layoutscale.h"
#include "windowicon.h"

#include "web/transferengine.h"

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

Form1::Form1(TransferEngine& network, const QString& programFolder, const ServiceRoots& roots,
             QWidget* parent)
    : QWidget(parent), Text1(place<QLineEdit>(this, "Text1", 8, 16, 105, 25)),
      Command1(place<QPushButton>(this, "Command1", 120, 16, 81, 25)),
      Command2(place<QPushButton>(this, "Command2", 208, 16, 145, 25)),
      List1(place<QListWidget>(this, "List1", 8, 48, 457, 244)), m_network(network),
      m_downloader(*this, network, programFolder, roots)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(programTitle);
    setWindowIcon(programIcon());
    resize(scaled(QRect(0, 0, 472, 299), layoutScale(font())).size());

    Text1->setText(hintText);
    // Typing then replaces the hint; a click still clears it.
    Text1->selectAll();
    Text1->installEventFilter(this);
    Command1->setText(QStringLiteral("开始下载"));
    Command2->setText(QStringLiteral("重新下载保存失败的文件"));
    // Neither button answers Enter: this is a window, not a dialog.
    Command1->setAutoDefault(false);
    Command2->setAutoDefault(false);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setUniformItemSizes(true); // keeps a list of a hundred thousand lines quick
    followEnd(List1->verticalScrollBar());

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, List1);
    setTabOrder(List1, Command2);
    Text1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = rect();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void Form1::appendLine(const QString& line)
{
    List1->addItem(line);
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

void Form1::Command1_Click()
{
    m_downloader.start();
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
    // Transfers running ahead of the run stop here, and their unfinished files go with them.
    m_network.abandonAll();
    CleanAll();
}
