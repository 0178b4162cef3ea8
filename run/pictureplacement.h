#pragma once

#include "downloadrecord.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// Where a run puts each picture, and which pictures an update leaves out because their files
// hold them already. Asked in the order one transfer at a time takes the pictures, so the names
// do not depend on how many transfers run.
class PicturePlacement
{
  public:
    // A plain run into `forumFolder`: every picture goes to its number, replacing what is there.
    explicit PicturePlacement(const QString& forumFolder) : m_forumFolder(forumFolder) {}
    // An update over what `known` says was saved into `forumFolder`. A picture in it whose file
    // is still there with its size is left out; one whose file is gone goes back to its name.
    // Any other picture takes its number unless a file has that name or the record knows it,
    // and else the number after the highest "<n>.jpg" of its folder: nothing the record knows
    // is overwritten.
    PicturePlacement(const QString& forumFolder, const QList<RecordEntry>& known);

    // The folder of the next album of the listing, titled `title`, whose first page links
    // `links`. An album the record knows (by a picture of its) keeps the folder the record gives
    // it; any other is named after its title, and takes " (2)", " (3)", … when an earlier album
    // of the run has that name: no album's pictures overwrite another's.
    QString albumFolder(const QString& title, const QStringList& links);
    struct Place
    {
        QString path;
        std::optional<qint64> savedBytes; // the file holds the picture already
        QString identifier;               // the picture's, as the record has it, when it does
    };
    // Picture `number` of the album whose folder is `albumFolder`, linked as `link`.
    Place place(const QString& albumFolder, int number, const QString& link);

  private:
    struct Folder
    {
        QSet<QString> taken; // names a file, the record or this run gave
        int highest = 0;     // the highest n of the "<n>.jpg" among them
    };
    Folder& folder(const QString& path);
    void take(Folder& folder, const QString& name);

    bool m_update = false;
    QString m_forumFolder;
    QHash<QString, QList<RecordEntry>> m_byLink;
    // The record's files, by album folder path as the file system compares: its keys are the
    // record's folders.
    QHash<QString, QList<QString>> m_recordedNames;
    QHash<QString, Folder> m_folders; // by album folder path, read when first met
    QSet<QString> m_given;            // recorded files already given to a link
    QSet<QString> m_albumFolders;     // the run's, as the file system compares
};
