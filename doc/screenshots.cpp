// Makes the README's pictures of the window from the window itself: a run of the sample forum
// half done, and the tooltip of a saved picture's line. Run by scripts/screenshots on a real X
// display (Xvfb), into the folder named on the command line.
#include "app/form1.h"
#include "forum/standinforum.h"
#include "web/transferengine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>

#include <functional>

namespace {

// Turns the event loop until `done` holds, looking every 20 ms; false after 60 s.
bool until(const std::function<bool()>& done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 60000)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The window and whatever stands over it (a tooltip), as the screen shows them.
bool shoot(const QWidget& window, const QRect& extra, const QString& file)
{
    const QRect area = window.frameGeometry().united(extra).adjusted(-8, -8, 8, 8);
    return window.screen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .save(file);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 64;
    const QDir into(app.arguments().at(1));
    StandIn::StandInForum forum;
    if (!forum.start())
        return 1;
    // Slow enough to be caught half way, as over a real line.
    forum.setDefaultDelay(40);
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("varnolt.conf")), QSettings::IniFormat);
    TransferEngine network;
    Form1 window(network, folder.path(), ServiceRoots{forum.forumRoot(), forum.pictureRoot()},
                 settings);
    window.move(40, 40);
    window.show();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("List1"));
    window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("猫咪"));
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    if (!until([list] { return list->count() >= 60; }) ||
        !shoot(window, {}, into.filePath(QStringLiteral("window.png"))) ||
        !until([&window] { return !window.downloader().isBusy(); }))
        return 1;

    // The pointer on the fifth line, a saved picture, until its tooltip shows.
    list->scrollToTop();
    QWidget* viewport = list->viewport();
    const QPoint centre = list->visualItemRect(list->item(4)).center();
    QCursor::setPos(viewport->mapToGlobal(centre));
    if (!until([&] {
            QHelpEvent hover(QEvent::ToolTip, centre, viewport->mapToGlobal(centre));
            QApplication::sendEvent(viewport, &hover);
            return QToolTip::isVisible();
        }))
        return 1;
    QWidget* tip = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->inherits("QTipLabel"))
            tip = widget;
    }
    return tip && shoot(window, tip->frameGeometry(), into.filePath(QStringLiteral("tooltip.png")))
               ? 0
               : 1;
}
