#pragma once

#include <QString>

#include <optional>

class AlbumSelection;
class DownloadRecord;
struct RunTally;

// One picture the album processing or the retry is done with.
struct PictureReport
{
    enum class Status
    {
        Saved,
        Failed,
        Skipped
    };
    qsizetype album = 0; // its position in the listing; 0 for a retry
    int page = 0;
    int number = 0;
    Status status = Status::Failed;
    QString path;    // empty without an identifier
    QString address; // of the picture; empty without an identifier
    qint64 bytes = 0;
    QString cause; // why it failed: "HTTP 404", "超时", …
};

// One album as a dry run found it, every page read.
struct AlbumSurvey
{
    qsizetype album = 0; // its position in the listing, from 1
    qsizetype count = 0; // the listing's albums
    QString title;
    QString folder;           // where a run would put its pictures
    int pictures = 0;         // its pages link
    std::optional<int> fresh; // with an update: those the record does not hold
};

// What a run and a retry report as they go, to whoever shows them: the window's list, the
// console's lines, JSON. Each call is a step the run has passed; nothing is asked back.
class RunObserver
{
  public:
    virtual ~RunObserver() = default;

    // A run or a retry is under way (true), or has ended (false).
    virtual void busyChanged(bool busy) { Q_UNUSED(busy); }
    // The run begins reading the forum's listing.
    virtual void listingStarted() = 0;
    // The listing of `forumName` is read: it has `albums` albums.
    virtual void listingRead(const QString& forumName, qsizetype albums) = 0;
    // The run, retry or dry run goes on to `albums` albums, whatever their positions: those it
    // chose of what the listing gave, or those the retry takes again.
    virtual void albumsAhead(qsizetype albums) { Q_UNUSED(albums); }
    // Album `album` of `count` begins, its pictures going into `folder`.
    virtual void albumStarted(qsizetype album, qsizetype count, const QString& title,
                              const QString& folder) = 0;
    // A dry run has read every page of an album: it is reported instead of its pages.
    virtual void albumSurveyed(const AlbumSurvey& album) { Q_UNUSED(album); }
    // Page `page` of the album's `pageCount` is read.
    virtual void pageRead(int page, int pageCount) = 0;
    // A picture of the run is done with.
    virtual void pictureEnded(const PictureReport& picture) = 0;
    // A picture of the retry is done with.
    virtual void retryEnded(const PictureReport& picture) = 0;
    // The retry has ended: `saved` saved now, `failing` failing still; or it had nothing to do.
    virtual void retryFinished(int saved, int failing) = 0;
    virtual void nothingToRetry() = 0;
    // Something of the run itself went wrong, said by `text`: a page, a folder, the record.
    virtual void problem(const QString& text, const QString& cause) = 0;
    // The run has ended; its closing line says what `tally` holds.
    virtual void runFinished(const RunTally& tally) = 0;
    // The run or retry was stopped before its end, having come to what `tally` holds.
    virtual void runStopped(const RunTally& tally) { Q_UNUSED(tally); }
};

// Problems that several parts of the run report alike.
// The listing of `forumName` is read, with `albums` albums: said, and so are the parts of
// `chosen` beyond its `positions` (more than `albums` when its last pages could not be had).
void reportListingRead(RunObserver& observer, const QString& forumName, qsizetype albums,
                       qsizetype positions, const AlbumSelection& chosen);
// The parts of a choice beyond a listing of `albums` albums, said unless there are none.
void reportBeyond(RunObserver& observer, qsizetype albums, const QStringList& parts);
// The disk holding `folder` is full: the run or retry stops there.
void reportDiskFull(RunObserver& observer, const QString& folder);
// The forum's record cannot be used: the run goes on without it, and `tally` says so.
void reportRecordUnusable(RunObserver& observer, const DownloadRecord& record, RunTally& tally);
