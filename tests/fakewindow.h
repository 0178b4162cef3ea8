#pragma once

#include "app/progresslines.h"

#include <QStringList>

#include <functional>

// Records the lines a run shows, each with the cause a failure gives, and holds the name a
// test's run starts with.
class FakeWindow : public ProgressLines
{
  public:
    explicit FakeWindow(QString name = QString()) : name(std::move(name)) {}

    void addLine(const QString& line, const QString& cause) override
    {
        lines.append(line);
        causes.append(cause);
        if (onLine)
            onLine(line);
    }

    // The closing line is the window's and the console's own: tests compare the run's lines.
    void runFinished(const RunTally&) override { ++runsFinished; }

    QString name;
    int runsFinished = 0;
    QStringList lines;
    QStringList causes; // beside `lines`, empty for lines that are no failure
    std::function<void(const QString&)> onLine;
};
