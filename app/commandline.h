#pragma once

#include "consolewindow.h"
#include "run/albumselection.h"
#include "web/transferengine.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Mode
    {
        Window,   // no --download: the window opens
        Download, // a whole download without a window
        Done      // --help, --version or a bad argument: print `text` and end with `exitCode`
    };
    Mode mode = Mode::Window;
    QStringList forumNames; // --download, each in turn, then those of --input-file
    std::optional<QString> output;
    std::optional<QString> cookies;   // --cookies: a cookie file to start with
    std::optional<QString> proxy;     // --proxy; VARNOLT_PROXY, else libcurl's own variables
    std::optional<QString> userAgent; // --user-agent
    std::optional<double> transfers;  // --transfers; VARNOLT_TRANSFERS or the default when absent
    std::optional<double> maxWait;    // --max-wait; VARNOLT_MAX_WAIT or the default when absent
    std::optional<double> rate;       // --rate; VARNOLT_RATE or no pacing when absent
    std::optional<double> timeout;    // --timeout; VARNOLT_TIMEOUT or each fetch's own limit
    int retries = 2;
    bool update = false;  // --update: what the record says is saved is not fetched again
    bool verbose = false; // --verbose: a line on stderr for every request
    bool dryRun = false;  // --dry-run: pages read and albums reported, nothing written
    // Every wait the program makes of its own accord or at a server's asking lasts this many
    // times as long: VARNOLT_WAIT_SCALE, from 0.001 to 1, which tests set to pass waits quickly.
    double waitScale = 1;
    AlbumSelection albums; // --albums; every album when absent
    ConsoleWindow::Output printing = ConsoleWindow::Output::Lines; // --quiet, --json

    // For Mode::Done: what to print (on stdout for status 0, stderr otherwise) and the status.
    QString text;
    int exitCode = 0;
    // The options the settings file gave, by name; or, for Mode::Done, why the settings file
    // could not be used (empty when it could).
    QStringList fromSettingsFile;
    QString settingsProblem;
};

// Reads `arguments` (the program's own name first), as QCoreApplication::arguments() gives it.
CommandLine readCommandLine(const QStringList& arguments);

// Fills in the numbers `line` leaves out from their variables, else their defaults. False, and
// why in `problem`, when a variable holds a value its option does not take.
bool completeFromEnvironment(CommandLine& line, QString* problem);
// The engine's settings a complete `line` asks for.
EngineSettings engineSettingsOf(const CommandLine& line);

// Whether `arguments` (as the program received them) open the window: they ask for no download,
// help or version, and hold no error. Told before any application object exists, so that the
// window's one is made only when needed, and can take Qt's own options (-platform, -style, …)
// out before the command line is read again.
bool opensWindow(const QStringList& arguments);

// Whether a window can open at all: on X11 and Wayland it needs a display to talk to.
bool displayAvailable(const QStringList& arguments);
