#include "albumwalk.h"

#include "folders.h"
#include "text/foldername.h"
#include "text/pagescan.h"
#include "text/split2.h"
#include "transfersahead.h"
#include "web/transferengine.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The title between "<title>" and "吧_"; a page without them (a failed fetch among them)
// gets a title that still tells the albums apart.
QString albumTitle(const QString& page, qsizetype albumNumber)
{
    try {
        return split2(page, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false);
    } catch (const std::invalid_argument&) {
        return QStringLiteral("无标题相册") + QString::number(albumNumber);
    }
}

// The order of one-at-a-time: an album page, then for each of its pictures the picture page and
// the picture, then the album's next page, then the next album.
TransferOrder orderOf(qsizetype album, int page, int index = 0, int stage = 0)
{
    return {album, page, index, stage};
}

} // namespace

AlbumWalk::AlbumWalk(RunContext& context, QString forumFolder, QStringList albums)
    : m_context(context), m_forumFolder(std::move(forumFolder)), m_albums(std::move(albums)),
      m_ahead(transfersAhead(context.network))
{
    if (m_ahead > 0)
        m_finished = QObject::connect(&context.network, &TransferEngine::transferFinished,
                                      [this] { lookAhead(); });
    lookAhead();
}

AlbumWalk::~AlbumWalk()
{
    QObject::disconnect(m_finished);
}

AlbumWalk::AlbumStep& AlbumWalk::albumStep(qsizetype album)
{
    const auto found = m_steps.find(album);
    if (found != m_steps.end())
        return found->second;
    AlbumStep& step = m_steps[album];
    step.pages.emplace_back();
    step.pages.back().address = m_albums.at(album - 1) + QStringLiteral("&pn=1");
    return step;
}

AlbumWalk::PictureStep& AlbumWalk::pictureStep(qsizetype album, int page, int index)
{
    return albumStep(album).pages.at(page - 1).pictures.at(index - 1);
}

template <typename Pending> void AlbumWalk::release(std::unique_ptr<Pending>& pending)
{
    if (!pending)
        return;
    pending.reset();
    --m_pending;
}

void AlbumWalk::issuePage(qsizetype album, int page)
{
    PageStep& step = albumStep(album).pages.at(page - 1);
    step.fetch = std::make_unique<PendingPage>(m_context.network, step.address,
                                               m_context.limits.page, orderOf(album, page));
    ++m_pending;
}

void AlbumWalk::issuePicturePage(qsizetype album, int page, int index)
{
    PictureStep& step = pictureStep(album, page, index);
    step.page =
        std::make_unique<PendingPage>(m_context.network, m_context.roots.forumRoot + *step.link,
                                      m_context.limits.page, orderOf(album, page, index));
    ++m_pending;
}

void AlbumWalk::issueSave(qsizetype album, int page, int index)
{
    PictureStep& step = pictureStep(album, page, index);
    // A picture saved ahead needs its folder now; the album processing tests it again when
    // the picture's turn comes, as it does for every picture.
    ensureFolder(albumStep(album).folder);
    step.save =
        std::make_unique<PictureSave>(m_context.network, step.picture.address, step.picture.path,
                                      m_context.limits.picture, orderOf(album, page, index, 1));
    ++m_pending;
}

void AlbumWalk::resolvePage(qsizetype album, int page)
{
    AlbumStep& albumSteps = albumStep(album);
    PageStep& step = albumSteps.pages.at(page - 1);
    const Page read = step.fetch->take();
    if (step.fetch.get() != m_awaited)
        release(step.fetch);
    step.resolved = true;
    step.fetched = read.fetched;
    if (page == 1) {
        albumSteps.title = albumTitle(read.text, album);
        albumSteps.folder = joinPath(m_forumFolder, safeFolderName(albumSteps.title));
    }
    // The last page carries no last-page link; the count already known stands for it.
    step.count = std::max(PageScan::lastPageNumber(read.text), page);
    const QList<std::optional<QString>> links = PageScan::pictureLinks(read.text);
    step.pictures.resize(static_cast<std::size_t>(links.size()));
    for (qsizetype n = 0; n < links.size(); ++n) {
        PictureStep& picture = step.pictures[static_cast<std::size_t>(n)];
        picture.link = links.at(n);
        picture.picture.number = ++albumSteps.numbered;
        // Without a closing quote there is no page to read: the picture fails as it stands.
        picture.resolved = !picture.link.has_value();
    }
    if (step.count > page) {
        albumSteps.pages.emplace_back();
        albumSteps.pages.back().address =
            m_albums.at(album - 1) + QStringLiteral("&pn=") + QString::number(page + 1);
    }
}

void AlbumWalk::resolvePicture(qsizetype album, PictureStep& step)
{
    const Page read = step.page->take();
    if (step.page.get() != m_awaited)
        release(step.page);
    step.resolved = true;
    step.picture.identifier = PageScan::pictureIdentifier(read.text);
    if (!step.picture.identifier)
        return;
    step.picture.address = m_context.roots.pictureRoot + QStringLiteral("forum/pic/item/") +
                           *step.picture.identifier + QStringLiteral(".jpg");
    step.picture.path = joinPath(albumStep(album).folder,
                                 QString::number(step.picture.number) + QStringLiteral(".jpg"));
}

AlbumWalk::AlbumPage AlbumWalk::albumPage(qsizetype album, int page)
{
    m_album = album;
    m_page = page;
    m_picture = 0;
    PageStep& step = albumStep(album).pages.at(page - 1);
    if (!step.resolved) {
        if (!step.fetch)
            issuePage(album, page);
        m_awaited = step.fetch.get();
        step.fetch->wait(); // the walk may read the page meanwhile
        m_awaited = nullptr;
        if (!step.resolved)
            resolvePage(album, page);
        release(step.fetch);
    }
    lookAhead();
    const AlbumStep& steps = albumStep(album);
    return {step.address, step.fetched, steps.title,
            steps.folder, step.count,   static_cast<int>(step.pictures.size())};
}

AlbumWalk::Picture AlbumWalk::picture(qsizetype album, int page, int index)
{
    m_picture = index;
    PictureStep& step = pictureStep(album, page, index);
    if (!step.resolved) {
        if (!step.page)
            issuePicturePage(album, page, index);
        m_awaited = step.page.get();
        step.page->wait();
        m_awaited = nullptr;
        if (!step.resolved)
            resolvePicture(album, step);
        release(step.page);
    }
    return step.picture;
}

SaveError AlbumWalk::save(qsizetype album, int page, int index)
{
    PictureStep& step = pictureStep(album, page, index);
    const bool early = step.save != nullptr;
    if (!early)
        issueSave(album, page, index);
    SaveError error = step.save->finish();
    release(step.save);
    // A save started ahead found its folder missing, or could not move its file: the folder
    // has just been tested again, so it gets the try that one at a time would give it now.
    if (early && (error == SaveError::CannotOpen || error == SaveError::CannotReplace)) {
        issueSave(album, page, index);
        error = step.save->finish();
        release(step.save);
    }
    step.saved = true;
    lookAhead();
    return error;
}

QList<AlbumWalk::Picture> AlbumWalk::knownPicturesAfter(qsizetype album, int page, int index) const
{
    QList<Picture> known;
    for (auto steps = m_steps.lower_bound(album); steps != m_steps.end(); ++steps) {
        for (std::size_t p = 0; p < steps->second.pages.size(); ++p) {
            const PageStep& pageStep = steps->second.pages[p];
            for (std::size_t i = 0; i < pageStep.pictures.size(); ++i) {
                const bool after = steps->first > album || int(p) + 1 > page ||
                                   (int(p) + 1 == page && int(i) + 1 > index);
                const PictureStep& picture = pageStep.pictures[i];
                if (after && picture.resolved && picture.picture.identifier)
                    known.append(picture.picture);
            }
        }
    }
    return known;
}

void AlbumWalk::doneWith(qsizetype album)
{
    const auto found = m_steps.find(album);
    if (found == m_steps.end())
        return;
    for (PageStep& page : found->second.pages) {
        release(page.fetch);
        for (PictureStep& picture : page.pictures) {
            release(picture.page);
            release(picture.save);
        }
    }
    m_steps.erase(found);
}

void AlbumWalk::lookAhead()
{
    if (m_ahead == 0)
        return;
    const qsizetype last = std::min<qsizetype>(m_albums.size(), m_album + m_ahead);
    Known known;
    for (qsizetype album = m_album; album <= last; ++album) {
        // An album the run leaves out is never asked for.
        if (m_context.albums.contains(album) && !lookAheadIn(album, known))
            return;
    }
}

// Asks for what album `album` needs next, from where the album processing stands. False once
// enough is asked for.
bool AlbumWalk::lookAheadIn(qsizetype album, Known& known)
{
    AlbumStep& steps = albumStep(album);
    const std::size_t firstPage = album == m_album ? static_cast<std::size_t>(m_page - 1) : 0;
    for (std::size_t p = firstPage; p < steps.pages.size(); ++p) {
        const int page = static_cast<int>(p) + 1;
        PageStep& step = steps.pages[p];
        if (!step.resolved && !step.fetch) {
            if (m_pending >= m_ahead)
                return false;
            issuePage(album, page);
        }
        if (!step.resolved) {
            if (!step.fetch->isFinished()) {
                // Its pictures and later pages wait for it, and what it links to is not known.
                known = {false, false};
                return true;
            }
            resolvePage(album, page);
        }
        const bool current = album == m_album && page == m_page;
        for (std::size_t i = current ? static_cast<std::size_t>(std::max(m_picture - 1, 0)) : 0;
             i < step.pictures.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            PictureStep& picture = step.pictures[i];
            if (picture.saved)
                continue;
            if (!picture.resolved && !picture.page && known.picturePages) {
                if (m_pending >= m_ahead)
                    return false;
                issuePicturePage(album, page, index);
            }
            if (!picture.resolved) {
                if (!picture.page || !picture.page->isFinished()) {
                    known.pictures = false;
                    continue;
                }
                resolvePicture(album, picture);
            }
            if (picture.picture.identifier && !picture.save && known.pictures) {
                if (m_pending >= m_ahead)
                    return false;
                issueSave(album, page, index);
            }
        }
    }
    return true;
}
