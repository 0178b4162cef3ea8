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
    // The name box's text as it is now, untrimmed. Read afresh at every use: the box stays
    // editable while a run waits on the network.
    virtual QString forumName() const = 0;
    // A message box with only an OK button and the program's title.
    virtual void showMessage(const QString& text) = 0;
};
