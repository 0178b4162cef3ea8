#pragma once

#include "run/runwindow.h"

#include <QStringList>

#include <functional>

// Records what a run shows, and lets a test change the name box while the run reads it.
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
    QString forumName() const override { return name; }
    void showMessage(const QString& text) override { messages.append(text); }

    QString name;
    QStringList lines;
    QStringList messages;
    std::function<void(const QString&)> onLine;
};
