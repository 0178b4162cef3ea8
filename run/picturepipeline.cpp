#include "picturepipeline.h"

#include "folders.h"
#include "pagefetch.h"
#include "pictureplacement.h"
#include "text/pagescan.h"
#include "web/getbody.h"
#include "web/savejpg.h"

#include <utility>

namespace {

template <typename Pending> void drop(std::unique_ptr<Pending>& pending, WalkServices& services)
{
    if (!pending)
        return;
    pending.reset();
    --services.inFlight;
}

} // namespace

PicturePipeline::PicturePipeline(int number, const QString& albumTitle,
                                 const std::optional<QString>& link)
{
    m_picture.number = number;
    m_picture.albumTitle = albumTitle;
    // Without a closing quote there is no page to read: the picture fails as it stands.
    if (!link) {
        m_state = State::Unusable;
        m_picture.cause = QStringLiteral("图片链接不完整");
        return;
    }
    m_picture.link = *link;
}

PicturePipeline::PicturePipeline(PicturePipeline&&) noexcept = default;
PicturePipeline& PicturePipeline::operator=(PicturePipeline&&) noexcept = default;
PicturePipeline::~PicturePipeline() = default;

void PicturePipeline::name(WalkServices& services, const QString& folder)
{
    const PicturePlacement::Place place =
        services.placement.place(folder, m_picture.number, m_picture.link);
    m_picture.path = place.path;
    m_state = State::Named;
    if (place.savedBytes) {
        m_state = State::Skipped;
        m_picture.bytes = *place.savedBytes;
        m_picture.identifier = place.identifier;
        m_picture.address = pictureAddressOf(services.roots, place.identifier);
    }
}

void PicturePipeline::askPage(WalkServices& services, const WalkPosition& at)
{
    m_page =
        std::make_unique<PageRequest>(services.network, services.roots.forumRoot + m_picture.link,
                                      services.limits.page, orderOf(at));
    m_state = State::PageAsked;
    ++services.inFlight;
}

bool PicturePipeline::pageArrived() const
{
    return m_page->isFinished();
}

void PicturePipeline::readPage(WalkServices& services)
{
    const Page read = ::readPage(*m_page);
    drop(m_page, services);
    m_picture.identifier = PageScan::pictureIdentifier(read.text);
    if (!m_picture.identifier) {
        // The retry reads the picture page again.
        m_state = State::Unusable;
        m_picture.cause = read.fetched ? QStringLiteral("图片页面没有图片编号")
                                       : QStringLiteral("图片页面：") + read.cause;
        return;
    }
    m_picture.address = pictureAddressOf(services.roots, *m_picture.identifier);
    m_state = State::Addressed;
}

void PicturePipeline::askSave(WalkServices& services, const WalkPosition& at)
{
    m_save = std::make_unique<PictureSave>(services.network, m_picture.address, m_picture.path,
                                           services.limits.picture, orderOf(at, 1));
    m_state = State::Saving;
    ++services.inFlight;
}

void PicturePipeline::saveAhead(WalkServices& services, const QString& folder,
                                const WalkPosition& at)
{
    // It needs its folder now; the folder is tested again when its turn comes, as for every
    // picture.
    services.madeFolders.ensure(folder);
    askSave(services, at);
}

bool PicturePipeline::finish(WalkServices& services, const QString& folder, const WalkPosition& at)
{
    if (m_state == State::Found)
        name(services, folder);
    if (m_state == State::Named)
        askPage(services, at);
    if (m_state == State::PageAsked) {
        if (!pageArrived())
            return false;
        readPage(services);
    }
    if (m_state == State::Addressed || m_state == State::Saving) {
        if (!finishSave(services, folder, at))
            return false;
    } else if (m_state == State::Skipped) {
        m_picture.outcome = Picture::Outcome::Skipped;
    }
    m_state = State::Done;
    return true;
}

bool PicturePipeline::finishSave(WalkServices& services, const QString& folder,
                                 const WalkPosition& at)
{
    if (!m_turnCame) {
        m_turnCame = true;
        // Tested before every picture: the folder may have gone while the run waited.
        services.madeFolders.ensure(folder);
        m_savedAhead = m_state == State::Saving;
        if (!m_savedAhead)
            askSave(services, at);
    }
    if (!m_save->isFinished())
        return false;
    const SaveError error = m_save->finish();
    m_picture.bytes = m_save->bytes();
    m_picture.cause = m_save->cause(error);
    drop(m_save, services);
    // A save started ahead found its folder missing, or could not move its file: the folder
    // has just been tested again, so it gets the try that one at a time would give it now.
    if (std::exchange(m_savedAhead, false) &&
        (error == SaveError::CannotOpen || error == SaveError::CannotReplace)) {
        askSave(services, at);
        return false;
    }
    switch (error) {
    case SaveError::Ok:
        m_picture.outcome = Picture::Outcome::Saved;
        break;
    case SaveError::DiskFull:
        m_picture.outcome = Picture::Outcome::DiskFull;
        m_picture.bytes = 0;
        break;
    default:
        m_picture.outcome = Picture::Outcome::Failed;
        m_picture.bytes = 0;
    }
    return true;
}

void PicturePipeline::release(WalkServices& services)
{
    drop(m_page, services);
    drop(m_save, services);
}
