#pragma once

#include "run/runobserver.h"

// The run's steps as the progress lines the window lists and the console prints, one line a
// step, in the words the program has always used. What shows them gives addLine().
class ProgressLines : public RunObserver
{
  public:
    // `cause` says why a failure line failed; empty for other lines.
    virtual void addLine(const QString& line, const QString& cause) = 0;

    void listingStarted() override;
    void listingRead(const QString& forumName, qsizetype albums) override;
    void albumStarted(qsizetype album, qsizetype count, const QString& title,
                      const QString& folder) override;
    void albumSurveyed(const AlbumSurvey& album) override;
    void pageRead(int page, int pageCount) override;
    void pictureEnded(const PictureReport& picture) override;
    void retryEnded(const PictureReport& picture) override;
    void retryFinished(int saved, int failing) override;
    void nothingToRetry() override;
    void problem(const QString& text, const QString& cause) override;
    void runFinished(const RunTally& tally) override;
};
