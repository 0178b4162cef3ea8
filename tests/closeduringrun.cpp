// Opens the window, starts a run for the forum named on the command line and closes the window,
// the way a user would, once the file named last on the command line is there: tst_program makes
// it when the run has come as far as it wants, and expects this process to end soon after the
// close with status 0. A signal closes it as the program's own window is closed; with
// "session-end" last, the session ends instead, as Windows ends it at log-off.
#include "app/commandline.h"
#include "app/form1.h"
#include "app/windowuntilclosed.h"
#include "web/transferengine.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    // A fifth argument, "session-end", ends the session instead of closing the window.
    if (arguments.size() != 4 && arguments.size() != 5)
        return 64;
    const bool sessionEnds = arguments.size() == 5;
    const std::optional<ServiceRoots> roots = serviceRootsFromEnvironment(nullptr);
    if (!roots)
        return 65;

    CommandLine line;
    if (!completeFromEnvironment(line, nullptr))
        return 66;
    TransferEngine network(engineSettingsOf(line));
    // What the window remembers stays with this run.
    QTemporaryDir remembered;
    QSettings settings(remembered.filePath(QStringLiteral("varnolt.conf")), QSettings::IniFormat);
    Form1 window(network, arguments.at(1), *roots, settings);
    if (line.timeout)
        window.setTimeout(*line.timeout);
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(arguments.at(2));
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    QTimer closeWhenAsked;
    QObject::connect(&closeWhenAsked, &QTimer::timeout, &window, [&] {
        if (!QFileInfo::exists(arguments.at(3)))
            return;
        closeWhenAsked.stop();
        QTextStream(stdout) << "closing" << Qt::endl;
        if (!sessionEnds) {
            window.close();
            return;
        }
        // As Qt meets the end of a Windows session: aboutToQuit, then the process is ended.
        QMetaObject::invokeMethod(&app, "aboutToQuit", Qt::DirectConnection);
        std::_Exit(0);
    });
    closeWhenAsked.start(10);
    return windowUntilClosed(window);
}
