#include "walksteps.h"

#include "pagefetch.h"
#include "pictureplacement.h"
#include "web/getbody.h"

#include <algorithm>

WalkSteps::WalkSteps(QStringList albums, AlbumSelection chosen, WalkServices& services)
    : m_albums(std::move(albums)), m_chosen(std::move(chosen)), m_services(services)
{}

WalkSteps::~WalkSteps() = default;

// The one statement of the walk's order; everything else follows it.
std::optional<WalkPosition> WalkSteps::after(const WalkPosition& at) const
{
    // What an unread page holds is not known yet: as far as is known, the next album follows.
    const PageStep* page = pageAt(at);
    if (page && page->state == PageState::Read) {
        if (at.picture < int(page->pictures.size()))
            return WalkPosition{at.album, at.page, at.picture + 1};
        if (page->count > at.page)
            return WalkPosition{at.album, at.page + 1, 0};
    }
    return firstPageFrom(at.album + 1);
}

std::optional<WalkPosition> WalkSteps::firstPageFrom(qsizetype album) const
{
    // An album the run leaves out, or whose position a listing page that could not be had
    // kept, is never asked for.
    for (; album <= m_albums.size(); ++album) {
        if (m_chosen.takes(m_albums, album))
            return WalkPosition{album, 1, 0};
    }
    return std::nullopt;
}

const WalkSteps::PageStep* WalkSteps::pageAt(const WalkPosition& at) const
{
    const auto found = m_steps.find(at.album);
    if (found == m_steps.end() || at.page > int(found->second.pages.size()))
        return nullptr;
    return &found->second.pages[std::size_t(at.page - 1)];
}

WalkSteps::AlbumStep& WalkSteps::album(qsizetype album)
{
    const auto found = m_steps.find(album);
    if (found != m_steps.end())
        return found->second;
    AlbumStep& step = m_steps[album];
    step.pages.emplace_back();
    step.pages.back().address = m_albums.at(album - 1) + QStringLiteral("&pn=1");
    return step;
}

WalkSteps::PageStep& WalkSteps::page(const WalkPosition& at)
{
    return album(at.album).pages.at(std::size_t(at.page - 1));
}

PicturePipeline& WalkSteps::picture(const WalkPosition& at)
{
    return page(at).pictures.at(std::size_t(at.picture - 1));
}

void WalkSteps::askPage(PageStep& step, const WalkPosition& at)
{
    step.fetch = std::make_unique<PageRequest>(m_services.network, step.address,
                                               m_services.limits.page, orderOf(at));
    step.state = PageState::Asked;
    ++m_services.inFlight;
}

void WalkSteps::readPage(PageStep& step, const WalkPosition& at)
{
    AlbumPageContent read = readAlbumPage(*step.fetch, at.album, at.page);
    step.fetch.reset();
    --m_services.inFlight;
    step.state = PageState::Read;
    step.fetched = read.fetched;
    step.cause = read.cause;
    step.count = read.pageCount;
    AlbumStep& album = this->album(at.album);
    if (at.page == 1) {
        album.title = read.title;
        album.firstLinks = read.closedLinks;
    }
    step.pictures.reserve(std::size_t(read.links.size()));
    for (const std::optional<QString>& link : read.links)
        step.pictures.emplace_back(++album.numbered, album.title, link);
    if (step.count > at.page) {
        album.pages.emplace_back();
        album.pages.back().address =
            m_albums.at(at.album - 1) + QStringLiteral("&pn=") + QString::number(at.page + 1);
    }
}

void WalkSteps::placeFolder(qsizetype albumNumber)
{
    AlbumStep& album = this->album(albumNumber);
    if (!album.folder.isEmpty())
        return;
    album.folder = m_services.placement.albumFolder(album.title, album.firstLinks);
    album.firstLinks.clear();
}

void WalkSteps::forget(qsizetype album)
{
    const auto found = m_steps.find(album);
    if (found == m_steps.end())
        return;
    for (PageStep& page : found->second.pages) {
        if (page.fetch) {
            page.fetch.reset();
            --m_services.inFlight;
        }
        for (PicturePipeline& picture : page.pictures)
            picture.release(m_services);
    }
    m_steps.erase(found);
}
