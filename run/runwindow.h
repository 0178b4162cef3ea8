#pragma once

#include <QString>

// What a run needs of the window it reports to. The main window implements it; tests and
// the console driver give their own.
class RunWindow
{
  public:
    virtual ~RunWindow() = default;

    // Adds `line` at the end of the progress list.
    virtual void appendLine(const QString& line) = 0;
    // The name box's text as it is now, untrimmed. A run reads it once, as it starts.
    virtual QString forumName() const = 0;
    // A message box with only an OK button and the program's title.
    virtual void showMessage(const QString& text) = 0;
    // A run or a retry is under way (true), or has ended (false).
    virtual void setBusy(bool busy) { Q_UNUSED(busy); }
    // The run has come to album `album` of `count`.
    virtual void showProgress(qsizetype album, qsizetype count)
    {
        Q_UNUSED(album);
        Q_UNUSED(count);
    }
};
