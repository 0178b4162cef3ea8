#pragma once

#include "pagefetch.h"
#include "runcontext.h"
#include "web/savejpg.h"

#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class PicturePlacement;

// A step of a run, in the order one transfer at a time takes them: an album's page, then each
// picture of that page, then the album's next page, then the next album.
struct WalkPosition
{
    qsizetype album = 1; // its place in the listing, from 1
    int page = 1;        // of the album, from 1
    int picture = 0;     // on that page, from 1; 0 is the page itself
};

// The album pages, picture pages and pictures of a run, taken one step at a time, in order,
// by the album processing, which reports them. Meanwhile the walk asks for what comes next
// (later pictures, picture pages, the next albums' pages) as soon as what they depend on has
// arrived, so that several transfers run at once. It is asked again whenever transfers end.
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
        QString cause; // why it could not be had
    };

    struct Picture
    {
        enum class Outcome
        {
            Saved,
            Skipped, // its file holds it already
            Failed,
            DiskFull // failed for want of room: later pictures would fail alike
        };
        int number = 0;                    // runs on across the album's pages
        QString link;                      // as the album page gives it; empty without one
        std::optional<QString> identifier; // none when the picture page gave none
        QString address;
        QString path;
        QString albumTitle;
        Outcome outcome = Outcome::Failed;
        qint64 bytes = 0; // of the file, when it holds the picture
        QString cause;    // why it failed
    };

    struct Step
    {
        WalkPosition at;
        AlbumPage page;  // when `at` is a page
        Picture picture; // when `at` is a picture
    };

    AlbumWalk(RunContext& context, QStringList albums, AlbumSelection chosen,
              PicturePlacement& placement);
    ~AlbumWalk();
    AlbumWalk(const AlbumWalk&) = delete;
    AlbumWalk& operator=(const AlbumWalk&) = delete;

    // The next step, done with: a page read, a picture saved or left out. No value while what
    // it needs is still on its way, or once every album has been walked.
    std::optional<Step> next();
    bool hasEnded() const { return m_ended; }
    // The pictures after the last step taken whose addresses are already known, in order.
    QList<Picture> knownPicturesAhead() const;

  private:
    enum class PageState
    {
        Unasked,
        Asked,
        Read
    };
    enum class PictureState
    {
        Found,     // its link is read; its file is not chosen yet
        Named,     // its file is chosen, nothing asked yet
        PageAsked, // its picture page is on its way
        Addressed, // its picture's address is known
        Saving,
        Done,
        Skipped,  // saved already: nothing is asked
        Unusable, // no link or no identifier: it fails as it stands
    };
    struct PictureStep
    {
        PictureState state = PictureState::Found;
        Picture picture;
        std::unique_ptr<PageRequest> page;
        std::unique_ptr<PictureSave> save;
        bool turnCame = false; // its folder is tested, and its save asked for
        bool savedAhead = false;
    };
    struct PageStep
    {
        QString address;
        PageState state = PageState::Unasked;
        std::unique_ptr<PageRequest> fetch;
        bool fetched = false;
        QString cause;
        int count = 1;
        std::vector<PictureStep> pictures; // filled once, when the page is read
    };
    struct AlbumStep
    {
        QString title;
        QString folder;         // chosen in the listing's order
        QStringList firstLinks; // of its first page, until its folder is chosen
        int numbered = 0;
        std::deque<PageStep> pages; // a deque: steps keep their place while pages are added
    };
    // What is known of every step before the one looked at. A request is asked for ahead only
    // when the addresses of all earlier ones are known: an earlier step might ask for the same
    // address, and a server must see the requests of one address in the order one at a time
    // makes them. A picture's file is chosen only when every earlier one is, so that an update
    // names new pictures as one at a time would.
    struct Known
    {
        bool pages = true;    // every earlier page is read, every earlier picture named
        bool pictures = true; // every earlier picture's address is known
    };

    std::optional<WalkPosition> after(const WalkPosition& at) const;
    std::optional<WalkPosition> firstPageFrom(qsizetype album) const;
    const PageStep* pageAt(const WalkPosition& at) const;
    AlbumStep& albumStep(qsizetype album);
    PageStep& pageStep(const WalkPosition& at);
    PictureStep& pictureStep(const WalkPosition& at);

    void ask(PageStep& step, const WalkPosition& at);
    void askPicturePage(PictureStep& step, const WalkPosition& at);
    void askSave(PictureStep& step, const WalkPosition& at);
    template <typename Pending> void release(std::unique_ptr<Pending>& pending);
    void read(PageStep& step, const WalkPosition& at);
    void placeFolder(qsizetype album);
    void name(PictureStep& step, const WalkPosition& at);
    void readPicturePage(PictureStep& step);

    std::optional<Step> takePage(const WalkPosition& at);
    std::optional<Step> takePicture(const WalkPosition& at);
    // False while the save is still on its way.
    bool finishSave(PictureStep& step, const WalkPosition& at);

    void lookAhead();
    Known knownPastTaken() const;
    // Asks for what the step at `at` needs next. False once enough is asked for.
    bool lookAt(const WalkPosition& at, Known& known);
    void forget(qsizetype album);

    RunContext& m_context;
    const QStringList m_albums;
    const AlbumSelection m_chosen;
    PicturePlacement& m_placement;
    const int m_ahead;
    std::map<qsizetype, AlbumStep> m_steps;
    int m_pending = 0;                   // transfers asked for and not yet read
    std::optional<WalkPosition> m_taken; // the step being taken, or taken last
    bool m_taking = false;               // m_taken waits for what it needs
    bool m_ended = false;
};
