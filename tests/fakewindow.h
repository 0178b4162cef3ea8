#pragma once

#include "run/runwindow.h"

#include <QStringList>

#include <functional>

// Records what a run shows, and holds the name a test's run starts with.
class FakeWindow : public RunWindow
{
  public:
    explicit FakeWindow(QString name = QString()) : name(std::move(name)) {}

    void appendLine(const QString& line) override
    {
        lines.append(line);
        if (onLine)
            onLine(line);
    }
    void showMessage(const QString& text) override { messages.append(text); }

    QString name;
    QStringList lines;
    QStringList messages;
    std::function<void(const QString&)> onLine;
};
