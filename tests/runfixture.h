#pragma once

#include "fakewindow.h"
#include "forum/forumpages.h"
#include "forum/standinforum.h"
#include "run/downloader.h"
#include "waitfor.h"
#include "web/transferengine.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A stand-in forum, a temporary program folder and a downloader that reports to a fake window.
struct RunFixture
{
    explicit RunFixture(StandIn::ForumContent content, const QString& name = QString(),
                        int transfers = 1, TimeLimits limits = {})
        : RunFixture(std::move(content), name, settingsWith(transfers), limits)
    {}

    RunFixture(StandIn::ForumContent content, const QString& name, const EngineSettings& settings,
               TimeLimits limits = {})
        : forum(std::move(content)), network(settings), window(name)
    {
        if (!forum.start())
            qFatal("the stand-in forum cannot listen");
        outputFolder = temporary.path();
        downloader = std::make_unique<Downloader>(
            window, network, outputFolder, ServiceRoots{forum.forumRoot(), forum.pictureRoot()},
            limits);
    }

    // The start button pressed with what the name box holds, and the run waited for. False when
    // no run started.
    bool start() { return runToEnd(*downloader, window.name); }
    bool retry() { return retryToEnd(*downloader); }

    // In the platform's own form, as the run writes paths in its lines and lists.
    QString path(const QString& relative) const
    {
        return QDir::toNativeSeparators(QDir(outputFolder).absoluteFilePath(relative));
    }
    QByteArray fileContent(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList targetsStartingWith(const QString& prefix) const
    {
        return forum.requestedTargets().filter(
            QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(prefix)));
    }
    QStringList listingTargets() const { return targetsStartingWith(QStringLiteral("/f/tupian?")); }
    QStringList pictureFileTargets() const
    {
        return targetsStartingWith(QStringLiteral("/imgsrc/"));
    }
    QString pictureUrl(const QString& id) const
    {
        return forum.pictureRoot() + QStringLiteral("forum/pic/item/") + id +
               QStringLiteral(".jpg");
    }

    static EngineSettings settingsWith(int transfers)
    {
        EngineSettings settings;
        settings.transfers = transfers;
        return settings;
    }

    StandIn::StandInForum forum;
    TransferEngine network;
    QTemporaryDir temporary;
    QString outputFolder;
    FakeWindow window;
    std::unique_ptr<Downloader> downloader;
};
