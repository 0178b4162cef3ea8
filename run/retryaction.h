#pragma once

#include "failedpictures.h"
#include "folders.h"
#include "runsetup.h"
#include "stage.h"
#include "web/savejpg.h"

#include <QList>

#include <deque>
#include <memory>
#include <optional>

class AlbumProcessing;
class ListingCrawl;
class PageRequest;
class PicturePlacement;
class RunRecord;

// The retry button: saves every remembered failure once more and keeps only those that fail
// again, in their order, with a line for each and one for the whole. Listing and album pages
// the run could not have are read again, and the albums they lead to processed as an update.
class RetryAction : public Stage
{
  public:
    RetryAction(const RunSetup& setup, RunResults& results);
    ~RetryAction() override;

    bool advance() override;

  private:
    enum class Phase
    {
        Addressing, // pictures whose page gave no address read it again, one after the other
        Saving,
        ReadingPages,
        Processing,
    };

    bool advanceSteps();
    // Dropped before its end: what it took to try and has not tried is kept for the next.
    void keepWhatIsLeft();
    bool advancePhase();
    void beginSaving();
    // True once every picture page asked for again has been read.
    bool address();
    // True once every save is done with, or a full disk stopped them.
    bool save();
    // Reports the picture's end and keeps it when it failed; `cause` says why, when the save
    // itself does not.
    void keep(const FailedPicture& picture, SaveError error, const QString& cause = QString());
    void stopForFullDisk(qsizetype from);
    // False when the run's pages led to no album to process.
    bool beginPages();
    // Says the parts of the run's choice the listing pages read again put beyond its end.
    void reportNewlyBeyond();
    void beginProcessing();
    // True once the record asked for is open or known to be unusable, or none was asked for.
    bool recordReady();

    const RunSetup& m_setup;
    RunResults& m_results;
    // Before what it makes folders for: those go first, working files and all.
    MadeFolders m_madeFolders;
    bool m_begun = false;
    bool m_ended = false;
    Phase m_phase = Phase::Addressing;
    const int m_savedBefore;
    QList<FailedPicture> m_pictures;
    QStringList m_pageCauses; // beside m_pictures: why a page read again gave no address
    qsizetype m_next = 0;     // the picture whose page or save is taken next
    std::unique_ptr<PageRequest> m_page;
    std::deque<std::unique_ptr<PictureSave>> m_saves; // asked for, from m_next on
    std::unique_ptr<RunRecord> m_record; // opened anew for each phase that writes into it
    std::unique_ptr<ListingCrawl> m_crawl;
    QStringList m_listingPages; // taken from the run's failures, with m_albums
    QStringList m_albums;
    std::unique_ptr<PicturePlacement> m_placement;
    std::unique_ptr<AlbumProcessing> m_processing;
};
