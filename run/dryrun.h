#pragma once

#include "runsetup.h"
#include "stage.h"

#include <deque>
#include <memory>

class ListingCrawl;
class PicturePlacement;

// A look at what a run would do, writing nothing: it reads the listing and every page of the
// chosen albums, never a picture page or a picture, and reports each album with the folder a
// run would give it and the pictures its pages link; with an update, also how many of them the
// record does not hold. No folder, run file or record is made, and nothing is left to retry.
class DryRun : public Stage
{
  public:
    DryRun(const RunSetup& setup, RunResults& results, RunChoices choices);
    ~DryRun() override;

    bool advance() override;

  private:
    struct Album;

    void begin();
    // False when the listing names no album.
    bool prepareAlbums();
    // Asks for the next pages, in the walk's order, while fewer than the engine allows are out.
    void askAhead();
    void readArrived(Album& album);
    void report(Album& album);
    bool end();

    const RunSetup& m_setup;
    RunResults& m_results;
    const RunChoices m_choices;
    std::unique_ptr<ListingCrawl> m_crawl;
    std::unique_ptr<PicturePlacement> m_placement;
    std::deque<Album> m_albums; // asked for and not yet reported, in the listing's order
    qsizetype m_nextAlbum = 1;  // the first position not yet among them
    int m_asked = 0;            // pages asked for and not yet read
};
