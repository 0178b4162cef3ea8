#pragma once

#include <QString>

class DownloadRecord;

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
};

// What a run needs of the window it reports to. The main window implements it; tests and
// the console driver give their own. The reports of albums, pictures and the run's own problems
// become progress lines unless a front end shows them otherwise (the command line's JSON).
class RunWindow
{
  public:
    virtual ~RunWindow() = default;

    // Adds `line` at the end of the progress list.
    virtual void appendLine(const QString& line) = 0;
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

    // Album `album` of `count` begins, its pictures going into `folder`.
    virtual void albumStarted(qsizetype album, qsizetype count, const QString& title,
                              const QString& folder);
    // A picture of the run is done with.
    virtual void pictureEnded(const PictureReport& picture);
    // A picture of the retry is done with.
    virtual void retryEnded(const PictureReport& picture);
    // Something of the run itself went wrong: a page, a folder.
    virtual void problem(const QString& line) { appendLine(line); }
    // The disk holding `folder` is full: the run or retry stops there.
    void diskFull(const QString& folder);
    // The forum's record cannot be used: the run goes on without it.
    void recordUnusable(const DownloadRecord& record);
};
