#pragma once

#include "runsetup.h"
#include "stage.h"

#include <QString>
#include <QStringList>

#include <limits>
#include <memory>

class PageRequest;

// The address of the listing of forum `forumName`, to which "&pn=<page>" is added.
QString listingBaseOf(const ServiceRoots& roots, const QString& forumName);

// Reads a forum's album listing, one page after the other, for the addresses of its albums.
class ListingCrawl : public Stage
{
  public:
    // The listing from its first page on, as far as its pages announce more.
    static std::unique_ptr<ListingCrawl> ofForum(const RunSetup& setup, RunResults& results,
                                                 const QString& listingBase);
    // Just these pages of the forum's listing, each of which must list albums.
    static std::unique_ptr<ListingCrawl> ofPages(const RunSetup& setup, RunResults& results,
                                                 QStringList addresses);
    ~ListingCrawl() override;

    bool advance() override;
    // Their addresses, in the order of the pages and of their positions on them. A page of the
    // forum's listing that could not be had keeps the positions of its albums, as many as the
    // first page lists, with empty addresses when a later page was read: a choice of albums by
    // position takes the same albums whichever pages came.
    const QStringList& albums() const { return m_albums; }
    // How many positions the listing may have: albums(), and those of its last pages if they
    // could not be had; without the listing's first page, any number. Pages read on their own
    // know it only from the listing's last page.
    qsizetype positionsAtMost() const;
    // How many positions the listing is seen to have: albums(), or of pages read on their own,
    // the end of its last page.
    qsizetype positionsHad() const
    {
        return m_listingBase.isEmpty() ? m_lastPageEnd : m_albums.size();
    }
    // How many addresses of albums() are known.
    qsizetype albumsFound() const { return m_albums.size() - m_albums.count(QString()); }
    // albums(), those at positions of the listing the run did not choose made empty.
    QStringList chosenAlbums() const;

  private:
    ListingCrawl(const RunSetup& setup, RunResults& results, QStringList addresses,
                 QString listingBase);
    QString addressOf(int page) const;
    void read(int page);

    const RunSetup& m_setup;
    RunResults& m_results;
    const QStringList m_addresses;
    const QString m_listingBase; // when the pages announce each other
    int m_pageCount = 1;
    int m_page = 0;         // being read, from 0
    qsizetype m_unread = 0; // positions of pages that could not be had, after the last read
    bool m_firstPageMissing = false;
    qsizetype m_lastPageEnd = std::numeric_limits<qsizetype>::max(); // of pages read on their own
    std::unique_ptr<PageRequest> m_request;
    QStringList m_albums;
    QList<qsizetype> m_positions; // of each album in the listing, from 1
};
