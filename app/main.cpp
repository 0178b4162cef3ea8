#include "app/commandline.h"
#include "app/consolerun.h"
#include "app/consoletext.h"
#include "app/consolewindow.h"
#include "app/form1.h"
#include "app/qttranslations.h"
#include "app/windowuntilclosed.h"
#include "outputfolder.h"
#include "web/cookiefile.h"
#include "web/serviceroots.h"
#include "web/transferengine.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>
#include <memory>

namespace {

int refuse(const QString& problem)
{
    writeText(stderr, QStringLiteral("varnolt: ") + problem + QLatin1Char('\n'));
    // Started from a menu, nobody reads stderr: a window that cannot open says why in one.
    const QString platform = QGuiApplication::platformName();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) &&
        platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::critical(nullptr, QStringLiteral("Varnolt"),
                              QStringLiteral("设置有误，Varnolt 无法打开：\n") + problem);
    return code(ExitStatus::BadArguments);
}

// The engine's settings the command asks for, with what its variables and its cookie file add.
// No value, and why in `problem`, when one of them cannot be used.
std::optional<EngineSettings> settingsFor(CommandLine& command, QString* problem)
{
    if (!completeFromEnvironment(command, problem))
        return std::nullopt;
    EngineSettings settings = engineSettingsOf(command);
    if (command.cookies) {
        const std::optional<QList<QByteArray>> cookies = readCookieFile(*command.cookies, problem);
        if (!cookies) {
            *problem = QStringLiteral("--cookies: ") + *problem;
            return std::nullopt;
        }
        settings.cookies = *cookies;
    }
    return settings;
}

// The output folder: --output, else VARNOLT_OUTPUT, else (for the window) the folder the window
// last chose, `remembered`, else the settings file's, else the usual place. No value, and why
// in `problem`, when the folder given cannot be made or written.
std::optional<OutputFolder> outputFolderFor(const CommandLine& command, const QString& remembered,
                                            QString* problem)
{
    const bool fileOutput =
        command.output && command.fromSettingsFile.contains(QStringLiteral("output"));
    std::optional<QString> chosen =
        command.output && !fileOutput ? command.output : outputFromEnvironment();
    // Only a whole path to a folder that is there: a damaged value, or a drive not mounted now,
    // must not make a folder somewhere else; one that cannot be written gives way.
    if (command.mode == CommandLine::Mode::Window && !chosen && QDir::isAbsolutePath(remembered) &&
        QFileInfo(remembered).isDir()) {
        QString unusable;
        if (std::optional<OutputFolder> folder =
                chooseOutputFolder(QString(), remembered, QString(), &unusable))
            return folder;
    }
    if (!chosen && fileOutput)
        chosen = command.output;
    std::optional<OutputFolder> output =
        chooseOutputFolder(QCoreApplication::applicationDirPath(), chosen, picturesFallback(),
                           problem, command.dryRun);
    if (!output)
        *problem = (fileOutput       ? QStringLiteral("设置文件的 output: ")
                    : command.output ? QStringLiteral("--output: ")
                                     : QStringLiteral("VARNOLT_OUTPUT: ")) +
                   *problem;
    return output;
}

// For a command without the window: the console prepared, and the exit status when the command
// ends here. Help, version or a mistaken argument are said on stdout or stderr; the window's
// program started with no console says them, or why it does not download, in a message box.
std::optional<int> endWithoutWindow(const CommandLine& command)
{
    [[maybe_unused]] const bool unread = !prepareConsole();
#ifdef VARNOLT_WINDOW_PROGRAM
    if (unread && messageBoxesAreSeen())
        return tellWithoutConsole(
            command.mode == CommandLine::Mode::Done ? command.exitCode
                                                    : code(ExitStatus::BadArguments),
            command.mode == CommandLine::Mode::Done ? command.text : QString());
#endif
    if (command.mode != CommandLine::Mode::Done)
        return std::nullopt;
    writeText(command.exitCode == code(ExitStatus::Done) ? stdout : stderr, command.text);
    return command.exitCode;
}

int openWindow(const CommandLine& command, TransferEngine& network, const OutputFolder& output,
               const ServiceRoots& roots, QSettings& settings)
{
    Form1 window(network, output.path, roots, settings);
    if (!output.note.isEmpty())
        window.appendLine(output.note);
    if (command.timeout)
        window.setTimeout(*command.timeout);
    if (command.update) {
        window.setUpdate(true);
        window.appendLine(QStringLiteral("更新模式：下载记录中已保存的图片不再下载"));
    }
    return windowUntilClosed(window);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("Varnolt"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnolt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNOLT_VERSION));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    // Command-line mode needs no display, so the window's application object is made only when
    // the window opens. The arguments are read through an application object all the same: on
    // Windows that is what keeps a Chinese forum name whole.
    QStringList received;
    for (int n = 0; n < argc; ++n)
        received.append(QString::fromLocal8Bit(argv[n]));
    std::unique_ptr<QCoreApplication> app;
    const bool opens = opensWindow(received);
    // Said plainly, instead of Qt stopping the program for want of a display.
    if (opens && !displayAvailable(received)) {
        writeText(stderr,
                  QStringLiteral("varnolt: 窗口需要图形显示（没有设置 DISPLAY 或 "
                                 "WAYLAND_DISPLAY）；不开窗口下载请用 varnolt --download 吧名\n"));
        return code(ExitStatus::BadArguments);
    }
    if (opens)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    // Qt's own texts (the help's headings, a parse error, a message box's button) in Chinese.
    loadQtTranslations();
    CommandLine command = readCommandLine(QCoreApplication::arguments());
    if (opens && !command.settingsProblem.isEmpty())
        return refuse(command.settingsProblem);
    if (command.mode != CommandLine::Mode::Window) {
        if (const std::optional<int> status = endWithoutWindow(command))
            return *status;
    }

    // Checked before any window exists: a mistyped root should not open a window that fails
    // on the first press.
    QString problem;
    const std::optional<ServiceRoots> roots = serviceRootsFromEnvironment(&problem);
    if (!roots)
        return refuse(problem);
    const std::optional<EngineSettings> settings = settingsFor(command, &problem);
    if (!settings)
        return refuse(problem);
    QSettings remembering;
    const std::optional<OutputFolder> output =
        outputFolderFor(command, WindowSettings(remembering).outputFolder(), &problem);
    if (!output)
        return refuse(problem);

    TransferEngine network(*settings);
    if (command.mode == CommandLine::Mode::Download)
        return code(runDownload(command, network, *output, *roots));
    return openWindow(command, network, *output, *roots, remembering);
}
