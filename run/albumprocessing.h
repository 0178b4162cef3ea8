#pragma once

#include "albumselection.h"
#include "albumwalk.h"
#include "folders.h"
#include "runsetup.h"
#include "stage.h"

#include <QStringList>

class DownloadRecord;
class PicturePlacement;

// Second half of a run: every chosen album in list order, every page of each album, every
// picture of each page, saved as numbered JPEG files in a folder named after the album and
// written into the forum's record. Lines, files and failures come in the order of one transfer
// at a time, however many run at once.
class AlbumProcessing : public Stage
{
  public:
    AlbumProcessing(const RunSetup& setup, RunResults& results, MadeFolders& madeFolders,
                    QStringList albums, const AlbumSelection& chosen, DownloadRecord& record,
                    PicturePlacement& placement);

    bool advance() override;

  private:
    void reportPage(const AlbumWalk::Step& step);
    // False when the run must stop: the disk is full.
    bool reportPicture(const AlbumWalk::Step& step);
    // Writes the saved picture's entry. When the record cannot take it, the file goes and the
    // reason is returned; empty when written, or when the run has no record in use.
    QString remember(const AlbumWalk::Picture& picture);
    void stopForFullDisk();

    const RunSetup& m_setup;
    RunResults& m_results;
    const QStringList m_albums;
    DownloadRecord& m_record;
    // A record that opened stays the judge of every picture, even once it has failed: what it
    // does not hold was not saved as far as a later update knows.
    const bool m_recordInUse;
    bool m_recordFailed = false; // and said so
    AlbumWalk m_walk;
    QString m_folder; // of the album being walked
    bool m_stopped = false;
};
