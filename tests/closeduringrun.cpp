// Opens the window, starts a run for the forum named on the command line and closes the window
// after the given number of milliseconds, the way a user would. Used by tst_program, which
// expects this process to end soon after the close with status 0.
#include "app/commandline.h"
#include "app/form1.h"
#include "web/transferengine.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4)
        return 64;
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
    window.show();
    QTimer::singleShot(0, &window, [&] {
        window.findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(arguments.at(2));
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    QTimer::singleShot(arguments.at(3).toInt(), &window, [&] {
        QTextStream(stdout) << "closing" << Qt::endl;
        window.close();
    });
    return app.exec();
}
