#pragma once

#include "runcontext.h"

#include <QStringList>

class AlbumWalk;

// Second half of a run: every album in list order, every page of each album, every picture
// of each page, saved as numbered JPEG files in a folder named after the album. Lines, files
// and failures come in the order of one transfer at a time, however many run at once.
class AlbumProcessing
{
  public:
    AlbumProcessing(RunContext& context, QString forumFolder)
        : m_context(context), m_forumFolder(std::move(forumFolder))
    {}

    void run(const QStringList& albums);

  private:
    // False once the disk is full: the run stops there.
    bool processAlbum(AlbumWalk& walk, qsizetype number, qsizetype count);
    bool processPicture(AlbumWalk& walk, qsizetype album, int page, int index,
                        const QString& albumFolder);
    void stopForFullDisk(AlbumWalk& walk, qsizetype album, int page, int index,
                         const QString& albumFolder);
    void reportPicture(const struct PictureReport& picture);

    RunContext& m_context;
    const QString m_forumFolder;
};
