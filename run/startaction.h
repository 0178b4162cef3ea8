#pragma once

#include "folders.h"
#include "runsetup.h"
#include "stage.h"

#include <QFile>

#include <memory>

class AlbumProcessing;
class ListingCrawl;
class PicturePlacement;
class RunRecord;

// The start button: walks the forum's listing pages for album addresses, prepares the forum
// folder and hands the albums to the album processing. A run dropped before its end takes away
// the album folders it made that hold nothing.
class StartAction : public Stage
{
  public:
    StartAction(const RunSetup& setup, RunResults& results, RunChoices choices);
    ~StartAction() override;

    bool advance() override;

  private:
    // False when the run cannot go on.
    bool begin();
    // False when there is nothing to process.
    bool prepareAlbums();
    void beginProcessing();

    bool advanceSteps();

    const RunSetup& m_setup;
    RunResults& m_results;
    const RunChoices m_choices;
    const QString& m_name = m_choices.forumName;
    // Before what it makes folders for: those go first, working files and all.
    MadeFolders m_madeFolders;
    QFile m_runFile; // stays open, and empty, for the whole run
    std::unique_ptr<ListingCrawl> m_crawl;
    std::unique_ptr<RunRecord> m_record;
    std::unique_ptr<PicturePlacement> m_placement;
    std::unique_ptr<AlbumProcessing> m_processing;
};
