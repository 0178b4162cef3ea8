#pragma once

#include "albumselection.h"
#include "albumwalk.h"
#include "folders.h"
#include "runsetup.h"
#include "stage.h"

#include <QStringList>

class PicturePlacement;
class RunRecord;

// Second half of a run: every chosen album in list order, every page of each album, every
// picture of each page, saved as numbered JPEG files in a folder named after the album and
// written into the forum's record. Lines, files and failures come in the order of one transfer
// at a time, however many run at once.
class AlbumProcessing : public Stage
{
  public:
    AlbumProcessing(const RunSetup& setup, RunResults& results, MadeFolders& madeFolders,
                    QStringList albums, const AlbumSelection& chosen, RunRecord& record,
                    PicturePlacement& placement);

    bool advance() override;

  private:
    void reportPage(const AlbumWalk::Step& step);
    // False when the run must stop: the disk is full.
    bool reportPicture(const AlbumWalk::Step& step);
    void stopForFullDisk();

    const RunSetup& m_setup;
    RunResults& m_results;
    const QStringList m_albums;
    RunRecord& m_record;
    AlbumWalk m_walk;
    QString m_folder; // of the album being walked
    bool m_stopped = false;
};
