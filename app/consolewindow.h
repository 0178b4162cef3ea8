#pragma once

#include "run/runwindow.h"

#include <cstdio>

// The run's front end in command-line mode: every progress line goes to stdout as UTF-8 the
// moment it is appended, and the lines are tallied for the summary and the exit status.
class ConsoleWindow : public RunWindow
{
  public:
    ConsoleWindow(QString forumName, std::FILE* out);

    void appendLine(const QString& line) override;
    QString forumName() const override { return m_forumName; }
    void showMessage(const QString& text) override;

    // Lines seen so far, by what they report.
    int picturesSaved() const { return m_saved; }
    int picturesFailed() const { return m_failed; }
    // Listing or album pages that could not be fetched, folders or files that could not be made.
    int otherFailures() const { return m_otherFailures; }

  private:
    QString m_forumName;
    std::FILE* m_out;
    int m_saved = 0;
    int m_failed = 0;
    int m_otherFailures = 0;
};

// On Windows the program is a window program, which starts without a console: command-line
// mode borrows the console it was started from and switches it to UTF-8. Elsewhere, nothing.
void prepareConsole();

// Writes `line` and a line break as UTF-8 and flushes, so a pipe sees every line as it comes.
void writeLine(std::FILE* out, const QString& line);
