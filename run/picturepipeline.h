#pragma once

#include "folders.h"
#include "runsetup.h"
#include "walkposition.h"

#include <QString>

#include <memory>
#include <optional>

class PageRequest;
class PicturePlacement;
class PictureSave;

// What the steps of a walk work with: the network, where pages and pictures live and how long
// they are waited for, where files go, and the count of the walk's transfers in flight.
struct WalkServices
{
    TransferEngine& network;
    const ServiceRoots& roots;
    const TimeLimits& limits;
    PicturePlacement& placement;
    MadeFolders& madeFolders;
    int inFlight = 0;
};

// One picture on its way from the link its album page gives to its file: its file chosen, its
// picture page read for the identifier, the picture saved. The look-ahead moves it on early as
// far as what comes before it allows; the walk finishes it in its turn.
class PicturePipeline
{
  public:
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
    enum class State
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

    // Picture `number` of album `albumTitle`; without a link (an unclosed one) it is unusable.
    PicturePipeline(int number, const QString& albumTitle, const std::optional<QString>& link);
    PicturePipeline(PicturePipeline&&) noexcept;
    PicturePipeline& operator=(PicturePipeline&&) noexcept;
    ~PicturePipeline();

    State state() const { return m_state; }
    const Picture& picture() const { return m_picture; }

    // Chooses its file in `folder`: one the record says holds it already is skipped.
    void name(WalkServices& services, const QString& folder);
    void askPage(WalkServices& services, const WalkPosition& at);
    bool pageArrived() const;
    void readPage(WalkServices& services);
    // Asks for the picture before its turn, its folder made now.
    void saveAhead(WalkServices& services, const QString& folder, const WalkPosition& at);
    // Its turn: moves it on as far as what has arrived allows. True once it is done with.
    bool finish(WalkServices& services, const QString& folder, const WalkPosition& at);
    // Drops whatever it has asked for.
    void release(WalkServices& services);

  private:
    void askSave(WalkServices& services, const WalkPosition& at);
    bool finishSave(WalkServices& services, const QString& folder, const WalkPosition& at);

    State m_state = State::Found;
    Picture m_picture;
    std::unique_ptr<PageRequest> m_page;
    std::unique_ptr<PictureSave> m_save;
    bool m_turnCame = false; // its folder is tested, and its save asked for
    bool m_savedAhead = false;
};
