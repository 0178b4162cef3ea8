#pragma once

#include "albumselection.h"
#include "lookahead.h"
#include "picturepipeline.h"
#include "runsetup.h"
#include "walksteps.h"

#include <QStringList>

#include <optional>

class PicturePlacement;

// The album pages, picture pages and pictures of a run, taken one step at a time, in order,
// by the album processing, which reports them. Meanwhile the look-ahead asks for what comes
// next as soon as what it depends on has arrived, so that several transfers run at once. The
// walk is asked again whenever transfers end.
class AlbumWalk
{
  public:
    using Picture = PicturePipeline::Picture;
    struct AlbumPage
    {
        QString address;
        bool fetched = false;
        QString title;  // of the album, cut from its first page
        QString folder; // where the album's pictures go
        int pageCount = 1;
        QString cause; // why it could not be had
    };
    struct Step
    {
        WalkPosition at;
        AlbumPage page;  // when `at` is a page
        Picture picture; // when `at` is a picture
    };

    AlbumWalk(const RunSetup& setup, MadeFolders& madeFolders, QStringList albums,
              AlbumSelection chosen, PicturePlacement& placement);
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
    std::optional<Step> takePage(const WalkPosition& at);
    std::optional<Step> takePicture(const WalkPosition& at);
    // How far the step at `at` has come: its page's or its picture's state.
    int progressOf(const WalkPosition& at);
    void lookAhead();

    WalkServices m_services;
    WalkSteps m_steps;
    LookAhead m_lookAhead;
    std::optional<WalkPosition> m_taken; // the step being taken, or taken last
    bool m_taking = false;               // m_taken waits for what it needs
    bool m_ended = false;
};
