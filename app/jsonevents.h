#pragma once

#include "run/runobserver.h"

#include <functional>

class QJsonObject;

// The run's steps as JSON objects, one an event, for scripts: album, picture, retry and problem
// events, each failure with its "error". The summary comes from the console at the very end.
class JsonEvents : public RunObserver
{
  public:
    explicit JsonEvents(std::function<void(const QJsonObject&)> write) : m_write(std::move(write))
    {}

    void listingStarted() override {}
    void listingRead(const QString&, qsizetype) override {}
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;
    void albumSurveyed(const AlbumSurvey& album) override;
    void pageRead(int, int) override {}
    void pictureEnded(const PictureReport& picture) override;
    void retryEnded(const PictureReport& picture) override;
    void retryFinished(int, int) override {}
    void nothingToRetry() override {}
    void problem(const QString& text, const QString& cause) override;
    void runFinished(const RunTally&) override {}

  private:
    std::function<void(const QJsonObject&)> m_write;
};

// A JSON object as one line of compact UTF-8 text, without the line break.
QString jsonLine(const QJsonObject& object);
