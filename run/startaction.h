#pragma once

#include "runcontext.h"
#include "stage.h"

#include <QFile>

#include <memory>

class AlbumProcessing;
class DownloadRecord;
class ListingCrawl;
class PicturePlacement;
class RecordOpening;

// The start button: walks the forum's listing pages for album addresses, prepares the forum
// folder and hands the albums to the album processing.
class StartAction : public Stage
{
  public:
    StartAction(RunContext& context, QString forumName);
    ~StartAction() override;

    bool advance() override;

  private:
    // False when the run cannot go on.
    bool begin();
    // False when there is nothing to process.
    bool prepareAlbums();
    void beginProcessing();

    RunContext& m_context;
    const QString m_name;
    QFile m_runFile; // stays open, and empty, for the whole run
    std::unique_ptr<ListingCrawl> m_crawl;
    std::unique_ptr<RecordOpening> m_opening;
    std::unique_ptr<DownloadRecord> m_record;
    std::unique_ptr<PicturePlacement> m_placement;
    std::unique_ptr<AlbumProcessing> m_processing;
};
