#include "albumwalk.h"

#include "folders.h"
#include "pictureplacement.h"
#include "text/pagescan.h"
#include "text/split2.h"
#include "transfersahead.h"
#include "web/transferengine.h"

#include <QFileInfo>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// The title between "<title>" and "吧_"; no value for a page without them, which is no album
// page (a failed fetch, a verification or maintenance page).
std::optional<QString> albumTitle(const QString& page)
{
    try {
        return split2(page, QStringLiteral("<title>"), QStringLiteral("吧_"), false, false);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

// The engine serves waiting requests in this order: a picture's file after its page.
TransferOrder orderOf(const WalkPosition& at, int stage = 0)
{
    return {at.album, at.page, at.picture, stage};
}

} // namespace

AlbumWalk::AlbumWalk(RunContext& context, QStringList albums, AlbumSelection chosen,
                     PicturePlacement& placement)
    : m_context(context), m_albums(std::move(albums)), m_chosen(std::move(chosen)),
      m_placement(placement), m_ahead(transfersAhead(context.network))
{
    lookAhead();
}

AlbumWalk::~AlbumWalk() = default;

// The one statement of the walk's order; everything else follows it.
std::optional<WalkPosition> AlbumWalk::after(const WalkPosition& at) const
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

std::optional<WalkPosition> AlbumWalk::firstPageFrom(qsizetype album) const
{
    // An album the run leaves out is never asked for.
    for (; album <= m_albums.size(); ++album) {
        if (m_chosen.contains(album))
            return WalkPosition{album, 1, 0};
    }
    return std::nullopt;
}

const AlbumWalk::PageStep* AlbumWalk::pageAt(const WalkPosition& at) const
{
    const auto found = m_steps.find(at.album);
    if (found == m_steps.end() || at.page > int(found->second.pages.size()))
        return nullptr;
    return &found->second.pages[std::size_t(at.page - 1)];
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

AlbumWalk::PageStep& AlbumWalk::pageStep(const WalkPosition& at)
{
    return albumStep(at.album).pages.at(std::size_t(at.page - 1));
}

AlbumWalk::PictureStep& AlbumWalk::pictureStep(const WalkPosition& at)
{
    return pageStep(at).pictures.at(std::size_t(at.picture - 1));
}

template <typename Pending> void AlbumWalk::release(std::unique_ptr<Pending>& pending)
{
    if (!pending)
        return;
    pending.reset();
    --m_pending;
}

void AlbumWalk::ask(PageStep& step, const WalkPosition& at)
{
    step.fetch = std::make_unique<PageRequest>(m_context.network, step.address,
                                               m_context.limits.page, orderOf(at));
    step.state = PageState::Asked;
    ++m_pending;
}

void AlbumWalk::askPicturePage(PictureStep& step, const WalkPosition& at)
{
    step.page = std::make_unique<PageRequest>(m_context.network,
                                              m_context.roots.forumRoot + step.picture.link,
                                              m_context.limits.page, orderOf(at));
    step.state = PictureState::PageAsked;
    ++m_pending;
}

void AlbumWalk::askSave(PictureStep& step, const WalkPosition& at)
{
    step.save =
        std::make_unique<PictureSave>(m_context.network, step.picture.address, step.picture.path,
                                      m_context.limits.picture, orderOf(at, 1));
    step.state = PictureState::Saving;
    ++m_pending;
}

void AlbumWalk::read(PageStep& step, const WalkPosition& at)
{
    Page read = readPage(*step.fetch);
    release(step.fetch);
    step.state = PageState::Read;
    const std::optional<QString> title = albumTitle(read.text);
    // What a page that is not an album page links to is nobody's picture.
    if (!title)
        read.text.clear();
    step.fetched = read.fetched && title;
    step.cause = !read.fetched ? read.cause : !title ? QStringLiteral("不是相册页面") : QString();
    AlbumStep& album = albumStep(at.album);
    // The last page carries no last-page link; the count already known stands for it.
    step.count = std::max(PageScan::lastPageNumber(read.text), at.page);
    const QList<std::optional<QString>> links = PageScan::pictureLinks(read.text);
    if (at.page == 1) {
        // A title that still tells the albums apart.
        album.title = title.value_or(QStringLiteral("无标题相册") + QString::number(at.album));
        for (const std::optional<QString>& link : links) {
            if (link)
                album.firstLinks.append(*link);
        }
    }
    step.pictures.resize(std::size_t(links.size()));
    for (qsizetype n = 0; n < links.size(); ++n) {
        PictureStep& picture = step.pictures[std::size_t(n)];
        picture.picture.number = ++album.numbered;
        picture.picture.albumTitle = album.title;
        // Without a closing quote there is no page to read: the picture fails as it stands.
        if (!links.at(n)) {
            picture.state = PictureState::Unusable;
            picture.picture.cause = QStringLiteral("图片链接不完整");
            continue;
        }
        picture.picture.link = *links.at(n);
    }
    if (step.count > at.page) {
        album.pages.emplace_back();
        album.pages.back().address =
            m_albums.at(at.album - 1) + QStringLiteral("&pn=") + QString::number(at.page + 1);
    }
}

void AlbumWalk::placeFolder(qsizetype albumNumber)
{
    AlbumStep& album = albumStep(albumNumber);
    if (!album.folder.isEmpty())
        return;
    album.folder = m_placement.albumFolder(album.title, album.firstLinks);
    album.firstLinks.clear();
}

void AlbumWalk::name(PictureStep& step, const WalkPosition& at)
{
    Picture& picture = step.picture;
    const PicturePlacement::Place place =
        m_placement.place(albumStep(at.album).folder, picture.number, picture.link);
    picture.path = place.path;
    step.state = PictureState::Named;
    if (place.savedBytes) {
        step.state = PictureState::Skipped;
        picture.bytes = *place.savedBytes;
        picture.identifier = place.identifier;
        picture.address = pictureAddressOf(m_context.roots, place.identifier);
    }
}

void AlbumWalk::readPicturePage(PictureStep& step)
{
    const Page read = readPage(*step.page);
    release(step.page);
    Picture& picture = step.picture;
    picture.identifier = PageScan::pictureIdentifier(read.text);
    if (!picture.identifier) {
        // The retry reads the picture page again.
        step.state = PictureState::Unusable;
        picture.cause = read.fetched ? QStringLiteral("图片页面没有图片编号")
                                     : QStringLiteral("图片页面：") + read.cause;
        return;
    }
    picture.address = pictureAddressOf(m_context.roots, *picture.identifier);
    step.state = PictureState::Addressed;
}

std::optional<AlbumWalk::Step> AlbumWalk::takePage(const WalkPosition& at)
{
    PageStep& step = pageStep(at);
    if (step.state == PageState::Unasked)
        ask(step, at);
    if (step.state == PageState::Asked) {
        if (!step.fetch->isFinished())
            return std::nullopt;
        read(step, at);
    }
    if (at.page == 1)
        placeFolder(at.album);
    const AlbumStep& album = albumStep(at.album);
    return Step{
        at, {step.address, step.fetched, album.title, album.folder, step.count, step.cause}, {}};
}

std::optional<AlbumWalk::Step> AlbumWalk::takePicture(const WalkPosition& at)
{
    PictureStep& step = pictureStep(at);
    if (step.state == PictureState::Found)
        name(step, at);
    if (step.state == PictureState::Named)
        askPicturePage(step, at);
    if (step.state == PictureState::PageAsked) {
        if (!step.page->isFinished())
            return std::nullopt;
        readPicturePage(step);
    }
    if (step.state == PictureState::Addressed || step.state == PictureState::Saving) {
        if (!finishSave(step, at))
            return std::nullopt;
    } else if (step.state == PictureState::Skipped)
        step.picture.outcome = Picture::Outcome::Skipped;
    step.state = PictureState::Done;
    return Step{at, {}, step.picture};
}

bool AlbumWalk::finishSave(PictureStep& step, const WalkPosition& at)
{
    if (!step.turnCame) {
        step.turnCame = true;
        // Tested before every picture: the folder may have gone while the run waited.
        m_context.madeFolders.ensure(albumStep(at.album).folder);
        step.savedAhead = step.state == PictureState::Saving;
        if (!step.savedAhead)
            askSave(step, at);
    }
    if (!step.save->isFinished())
        return false;
    Picture& picture = step.picture;
    const SaveError error = step.save->finish();
    picture.bytes = step.save->bytes();
    picture.cause = step.save->cause(error);
    release(step.save);
    // A save started ahead found its folder missing, or could not move its file: the folder
    // has just been tested again, so it gets the try that one at a time would give it now.
    if (std::exchange(step.savedAhead, false) &&
        (error == SaveError::CannotOpen || error == SaveError::CannotReplace)) {
        askSave(step, at);
        return false;
    }
    switch (error) {
    case SaveError::Ok:
        picture.outcome = Picture::Outcome::Saved;
        break;
    case SaveError::DiskFull:
        picture.outcome = Picture::Outcome::DiskFull;
        picture.bytes = 0;
        break;
    default:
        picture.outcome = Picture::Outcome::Failed;
        picture.bytes = 0;
    }
    return true;
}

std::optional<AlbumWalk::Step> AlbumWalk::next()
{
    if (m_ended)
        return std::nullopt;
    // A step that was waited for looks at what has arrived meanwhile first, as it came: later
    // steps' requests go out in the order one at a time would give them.
    if (m_taking) {
        lookAhead();
    } else {
        const std::optional<WalkPosition> at = m_taken ? after(*m_taken) : firstPageFrom(1);
        if (m_taken && (!at || at->album != m_taken->album))
            forget(m_taken->album);
        if (!at) {
            m_ended = true;
            return std::nullopt;
        }
        m_taken = at;
        m_taking = true;
    }
    const std::optional<Step> step =
        m_taken->picture == 0 ? takePage(*m_taken) : takePicture(*m_taken);
    if (step) {
        m_taking = false;
        lookAhead();
    }
    return step;
}

QList<AlbumWalk::Picture> AlbumWalk::knownPicturesAhead() const
{
    QList<Picture> known;
    for (auto at = m_taken ? after(*m_taken) : std::nullopt; at; at = after(*at)) {
        const PageStep* page = pageAt(*at);
        if (at->picture == 0 || !page)
            continue;
        const PictureStep& step = page->pictures[std::size_t(at->picture - 1)];
        if (step.state == PictureState::Addressed || step.state == PictureState::Saving)
            known.append(step.picture);
    }
    return known;
}

void AlbumWalk::forget(qsizetype album)
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

AlbumWalk::Known AlbumWalk::knownPastTaken() const
{
    Known known;
    if (!m_taken)
        return known;
    const PageStep* page = pageAt(*m_taken);
    if (m_taken->picture == 0) {
        if (!page || page->state != PageState::Read)
            known = {false, false};
        return known;
    }
    const PictureState state = page->pictures[std::size_t(m_taken->picture - 1)].state;
    if (state == PictureState::Named || state == PictureState::PageAsked)
        known.pictures = false;
    return known;
}

void AlbumWalk::lookAhead()
{
    if (m_ahead == 0 || m_ended)
        return;
    const qsizetype last = (m_taken ? m_taken->album : 1) + m_ahead;
    Known known = knownPastTaken();
    for (auto at = m_taken ? after(*m_taken) : firstPageFrom(1); at && at->album <= last;
         at = after(*at)) {
        if (!lookAt(*at, known))
            return;
    }
}

bool AlbumWalk::lookAt(const WalkPosition& at, Known& known)
{
    if (at.picture == 0) {
        PageStep& step = pageStep(at);
        if (step.state == PageState::Unasked) {
            if (m_pending >= m_ahead)
                return false;
            ask(step, at);
        }
        if (step.state == PageState::Asked) {
            if (!step.fetch->isFinished()) {
                // Its pictures and later pages wait for it, and what it links to is not known.
                known = {false, false};
                return true;
            }
            read(step, at);
        }
        // In the listing's order, as one at a time would: an album takes its folder's name
        // only when every earlier album has taken its own.
        if (known.pages && at.page == 1)
            placeFolder(at.album);
        return true;
    }
    PictureStep& step = pictureStep(at);
    switch (step.state) {
    case PictureState::Found:
    case PictureState::Named:
        if (!known.pages) {
            known.pictures = false;
            return true;
        }
        if (step.state == PictureState::Found) {
            name(step, at);
            if (step.state != PictureState::Named)
                return true;
        }
        if (m_pending >= m_ahead)
            return false;
        askPicturePage(step, at);
        [[fallthrough]];
    case PictureState::PageAsked:
        if (!step.page->isFinished()) {
            known.pictures = false;
            return true;
        }
        readPicturePage(step);
        if (step.state != PictureState::Addressed)
            return true;
        [[fallthrough]];
    case PictureState::Addressed:
        if (!known.pictures)
            return true;
        if (m_pending >= m_ahead)
            return false;
        // A picture saved ahead needs its folder now; it is tested again when its turn comes,
        // as for every picture.
        m_context.madeFolders.ensure(albumStep(at.album).folder);
        askSave(step, at);
        return true;
    default:
        return true;
    }
}
