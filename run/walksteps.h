#pragma once

#include "albumselection.h"
#include "picturepipeline.h"
#include "walkposition.h"

#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class PageRequest;

// What a run knows of its albums so far: the pages asked for and read, the pictures found on
// them, and the folder each album's pictures go into; and the order of the walk, stated once.
// Steps are kept from the album being taken on, as far as the look-ahead has gone.
class WalkSteps
{
  public:
    enum class PageState
    {
        Unasked,
        Asked,
        Read
    };
    struct PageStep
    {
        QString address;
        PageState state = PageState::Unasked;
        std::unique_ptr<PageRequest> fetch;
        bool fetched = false;
        QString cause;
        int count = 1;
        std::vector<PicturePipeline> pictures; // filled once, when the page is read
    };
    struct AlbumStep
    {
        QString title;
        QString folder;         // chosen in the listing's order
        QStringList firstLinks; // of its first page, until its folder is chosen
        int numbered = 0;
        std::deque<PageStep> pages; // a deque: steps keep their place while pages are added
    };

    WalkSteps(QStringList albums, AlbumSelection chosen, WalkServices& services);
    ~WalkSteps();

    // The first step of the walk, and the step after `at` as far as is known now.
    std::optional<WalkPosition> first() const { return firstPageFrom(1); }
    std::optional<WalkPosition> after(const WalkPosition& at) const;

    // The page at `at` if it is known already.
    const PageStep* pageAt(const WalkPosition& at) const;
    AlbumStep& album(qsizetype album);
    PageStep& page(const WalkPosition& at);
    PicturePipeline& picture(const WalkPosition& at);

    void askPage(PageStep& step, const WalkPosition& at);
    // Reads the arrived page at `at`: its album's title, its pictures, whether more pages follow.
    void readPage(PageStep& step, const WalkPosition& at);
    // Chooses the folder of `album`, once, when every earlier album has chosen its own.
    void placeFolder(qsizetype album);
    // The album is walked: what is left of it goes.
    void forget(qsizetype album);

  private:
    std::optional<WalkPosition> firstPageFrom(qsizetype album) const;

    const QStringList m_albums;
    const AlbumSelection m_chosen;
    WalkServices& m_services;
    std::map<qsizetype, AlbumStep> m_steps;
};
