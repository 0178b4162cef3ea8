#pragma once

#include "runcontext.h"

#include <QStringList>

// Second half of a run: every album in list order, every page of each album, every picture
// of each page, saved as numbered JPEG files in a folder named after the album.
class AlbumProcessing
{
  public:
    AlbumProcessing(const RunContext& context, QString forumFolder)
        : m_context(context), m_forumFolder(std::move(forumFolder))
    {}

    void run(const QStringList& albums);

  private:
    void processAlbum(const QString& album, qsizetype number, qsizetype count);
    void processPicture(const std::optional<QString>& link, const QString& albumFolder, int page,
                        int picture);
    void reportPicture(int page, int picture, bool saved);

    const RunContext& m_context;
    const QString m_forumFolder;
};
