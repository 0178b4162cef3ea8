#pragma once

#include "run/runwindow.h"

#include <cstdio>

// The run's front end in command-line mode: every progress line goes to stdout as UTF-8 the
// moment it is appended.
class ConsoleWindow : public RunWindow
{
  public:
    ConsoleWindow(QString forumName, std::FILE* out);

    void appendLine(const QString& line) override;
    QString forumName() const override { return m_forumName; }
    void showMessage(const QString& text) override;

  private:
    QString m_forumName;
    std::FILE* m_out;
};

// On Windows the program is a window program, which starts without a console: command-line
// mode borrows the console it was started from and switches it to UTF-8. Elsewhere, nothing.
void prepareConsole();

// Writes `line` and a line break as UTF-8 and flushes, so a pipe sees every line as it comes.
// False when the line could not be written: whoever read `out` has gone.
bool writeLine(std::FILE* out, const QString& line);
