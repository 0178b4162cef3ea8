#pragma once

#include "run/runwindow.h"

#include <cstdio>

struct RunTally;

// The run's front end in command-line mode: every progress line goes to stdout as UTF-8 the
// moment it is appended; or nothing but the closing line (quiet); or, for scripts, one JSON
// object a line for each album, picture, retried picture and problem, and one for the summary.
class ConsoleWindow : public RunWindow
{
  public:
    enum class Output
    {
        Lines,
        Quiet,
        Json
    };

    explicit ConsoleWindow(std::FILE* out, Output output = Output::Lines);

    void appendLine(const QString& line) override;
    void showMessage(const QString& text) override;
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;
    void pictureEnded(const PictureReport& picture) override;
    void retryEnded(const PictureReport& picture) override;
    void problem(const QString& line) override;
    void showProgress(qsizetype album, qsizetype count) override;
    // The last line: the closing line, or the summary object. False when it could not be written.
    bool sumUp(const RunTally& tally);
    // A status line on a terminal, kept below the lines written from now on.
    void keepStatus(class StatusLine* status) { m_status = status; }

  private:
    void write(const QString& line);
    void writeObject(const class QJsonObject& object);
    // A picture saved counts on the status line.
    void countSaved(const PictureReport& picture);

    std::FILE* m_out;
    Output m_output;
    class StatusLine* m_status = nullptr;
};

// On Windows the program is a window program, which starts without a console: command-line
// mode borrows the console it was started from and switches it to UTF-8. Elsewhere, nothing.
void prepareConsole();

// Writes `line` and a line break as UTF-8 and flushes, so a pipe sees every line as it comes.
// False when the line could not be written: whoever read `out` has gone.
bool writeLine(std::FILE* out, const QString& line);
