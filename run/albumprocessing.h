#pragma once

#include "albumwalk.h"
#include "runcontext.h"

#include <QStringList>

class DownloadRecord;
class PicturePlacement;

// Second half of a run: every album in list order, every page of each album, every picture
// of each page, saved as numbered JPEG files in a folder named after the album and written
// into the forum's record. Lines, files and failures come in the order of one transfer at a
// time, however many run at once.
class AlbumProcessing
{
  public:
    AlbumProcessing(RunContext& context, QString forumFolder, DownloadRecord& record,
                    PicturePlacement& placement)
        : m_context(context), m_forumFolder(std::move(forumFolder)), m_record(record),
          m_placement(placement)
    {}

    void run(const QStringList& albums);

  private:
    void reportPage(const AlbumWalk::Step& step, const QStringList& albums);
    // False when the run must stop: the disk is full.
    bool reportPicture(const AlbumWalk::Step& step);
    // False when the picture is not in the record.
    bool remember(const AlbumWalk::Picture& picture);
    void stopForFullDisk(const AlbumWalk& walk);

    RunContext& m_context;
    const QString m_forumFolder;
    DownloadRecord& m_record;
    PicturePlacement& m_placement;
    QString m_folder; // of the album being walked
};
