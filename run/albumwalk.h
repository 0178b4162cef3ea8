#pragma once

#include "pagefetch.h"
#include "runcontext.h"
#include "web/savejpg.h"

#include <QMetaObject>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The album pages, picture pages and pictures of a run. The album processing reads them one by
// one, in order, and only it reports, records failures and moves pictures into place; meanwhile
// the walk asks for what comes next (later pictures, picture pages, the next albums' pages)
// as soon as what they depend on has arrived, so that several transfers run at once.
class AlbumWalk
{
  public:
    struct AlbumPage
    {
        QString address;
        bool fetched = false;
        QString title;  // of the album, cut from its first page
        QString folder; // where the album's pictures go
        int pageCount = 1;
        int pictures = 0; // picture links on this page
    };

    struct Picture
    {
        int number = 0; // runs on across the album's pages
        std::optional<QString> identifier;
        QString address;
        QString path;
    };

    AlbumWalk(RunContext& context, QString forumFolder, QStringList albums);
    ~AlbumWalk();
    AlbumWalk(const AlbumWalk&) = delete;
    AlbumWalk& operator=(const AlbumWalk&) = delete;

    // Album `album` (from 1), page `page` (from 1, up to the count its previous page gave).
    AlbumPage albumPage(qsizetype album, int page);
    // Picture `index` (from 1) of that page, its picture page read.
    Picture picture(qsizetype album, int page, int index);
    // Saves that picture: waits for its bytes and moves them to its path.
    SaveError save(qsizetype album, int page, int index);
    // The pictures after that one whose addresses are already known, in order.
    QList<Picture> knownPicturesAfter(qsizetype album, int page, int index) const;
    // The album has been read to its end; what is kept of it goes.
    void doneWith(qsizetype album);

  private:
    struct PictureStep
    {
        std::optional<QString> link;
        std::unique_ptr<PendingPage> page;
        bool resolved = false;
        Picture picture;
        std::unique_ptr<PictureSave> save;
        bool saved = false;
    };
    struct PageStep
    {
        QString address;
        std::unique_ptr<PendingPage> fetch;
        bool resolved = false;
        bool fetched = false;
        int count = 1;
        std::vector<PictureStep> pictures; // filled once, when the page is read
    };
    struct AlbumStep
    {
        QString title;
        QString folder;
        int numbered = 0;
        std::deque<PageStep> pages; // a deque: steps keep their place while pages are added
    };

    AlbumStep& albumStep(qsizetype album);
    PictureStep& pictureStep(qsizetype album, int page, int index);
    void resolvePage(qsizetype album, int page);
    void resolvePicture(qsizetype album, PictureStep& step);
    // Whether the addresses of every step before the one being looked at are known. A request
    // is asked for ahead only then: an earlier step not yet known might ask for the same address,
    // and a server must see the requests of one address in the order one at a time makes them.
    struct Known
    {
        bool picturePages = true;
        bool pictures = true;
    };
    void lookAhead();
    bool lookAheadIn(qsizetype album, Known& known);

    template <typename Pending> void release(std::unique_ptr<Pending>& pending);
    void issuePage(qsizetype album, int page);
    void issuePicturePage(qsizetype album, int page, int index);
    void issueSave(qsizetype album, int page, int index);

    RunContext& m_context;
    const QString m_forumFolder;
    const QStringList m_albums;
    const int m_ahead;
    std::map<qsizetype, AlbumStep> m_steps;
    int m_pending = 0; // transfers asked for and not yet read
    const void* m_awaited = nullptr;
    qsizetype m_album = 1;
    int m_page = 1;
    int m_picture = 0;
    QMetaObject::Connection m_finished;
};
