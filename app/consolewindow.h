#pragma once

#include "progresslines.h"

#include <cstdio>
#include <memory>

struct RunTally;

// The run's front end in command-line mode: every progress line goes to stdout as UTF-8 the
// moment its step is reported; or only the problems and the closing line (quiet); or, for
// scripts, one JSON object a line for each album, picture, retried picture and problem, and one
// for the summary.
class ConsoleWindow : public RunObserver
{
  public:
    enum class Output
    {
        Lines,
        Quiet,
        Json
    };

    explicit ConsoleWindow(std::FILE* out, Output output = Output::Lines);
    ~ConsoleWindow() override;

    // A line of the program's own, printed among the progress lines.
    void appendLine(const QString& line);
    // Writes `line` on stdout, below everything before it and above the status line.
    void write(const QString& line);
    // The last line: the closing line, or the summary object; the stopped line, or the summary
    // with "stopped", when the run was stopped. False when it could not be written.
    bool sumUp(const RunTally& tally, bool stopped = false);
    // Forum `index` of `count` begins (only JSON says so: the lines name it themselves). False
    // when it could not be written.
    bool forumBegins(const QString& name, qsizetype index, qsizetype count);
    // After several forums, the line or object that adds up `forums` forums' tallies in `total`.
    bool sumUpAll(int forums, const RunTally& total);
    // A status line on a terminal, kept below the lines written from now on.
    void keepStatus(class StatusLine* status) { m_status = status; }
    void listingStarted() override { m_format->listingStarted(); }
    void listingRead(const QString& forumName, qsizetype albums) override
    {
        m_format->listingRead(forumName, albums);
    }
    void albumsAhead(qsizetype albums) override;
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;
    void albumSurveyed(const AlbumSurvey& album) override;
    void pageRead(int page, int pageCount) override { m_format->pageRead(page, pageCount); }
    void pictureEnded(const PictureReport& picture) override;
    void retryEnded(const PictureReport& picture) override;
    void retryFinished(int saved, int failing) override;
    void nothingToRetry() override { m_format->nothingToRetry(); }
    void problem(const QString& text, const QString& cause) override
    {
        m_format->problem(text, cause);
    }
    // The closing line comes from sumUp(), once the retries are done too.
    void runFinished(const RunTally&) override { albumsEnded(); }

  private:
    // The status line counts another album reached, or every album done.
    void albumReached();
    void albumsEnded();

    std::FILE* m_out;
    Output m_output;
    std::unique_ptr<RunObserver> m_format;
    class StatusLine* m_status = nullptr;
};

// On Windows the window's program starts without a console: command-line mode borrows the
// console it was started from, and lets its status line erase itself. False when there is
// none and no output is redirected either (started from Explorer, a shortcut or Run): nobody
// would read a word. Elsewhere, nothing, and true.
bool prepareConsole();

// Whether a message box would be seen: on Windows, unless the program runs where nobody is
// (a scheduled task while nobody is logged on). Elsewhere false.
bool messageBoxesAreSeen();

// For a command given to the window's program where nobody reads its output: says in a message
// box what it would have written (the version, a mistaken argument; for the help, where to ask
// for it), or that a download without the window is varnolt-cli.exe's; gives the exit status.
int tellWithoutConsole(int exitCode, const QString& text);

// Writes `line` and a line break as UTF-8 and flushes, so a pipe sees every line as it comes.
// False when the line could not be written: whoever read `out` has gone.
bool writeLine(std::FILE* out, const QString& line);
