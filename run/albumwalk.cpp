#include "albumwalk.h"

#include "transfersahead.h"
#include "web/getbody.h"

AlbumWalk::AlbumWalk(const RunSetup& setup, MadeFolders& madeFolders, QStringList albums,
                     AlbumSelection chosen, PicturePlacement& placement)
    : m_services{setup.network, setup.roots, setup.limits, placement, madeFolders},
      m_steps(std::move(albums), std::move(chosen), m_services),
      m_lookAhead(m_steps, m_services, transfersAhead(setup.network))
{
    lookAhead();
}

AlbumWalk::~AlbumWalk() = default;

void AlbumWalk::lookAhead()
{
    if (!m_ended)
        m_lookAhead.run(m_taken);
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
        const std::optional<WalkPosition> at = m_taken ? m_steps.after(*m_taken) : m_steps.first();
        if (m_taken && (!at || at->album != m_taken->album))
            m_steps.forget(m_taken->album);
        if (!at) {
            m_ended = true;
            return std::nullopt;
        }
        m_taken = at;
        m_taking = true;
    }
    const int before = progressOf(*m_taken);
    const std::optional<Step> step =
        m_taken->picture == 0 ? takePage(*m_taken) : takePicture(*m_taken);
    if (step)
        m_taking = false;
    // A step that moved lets later steps on: a page it read names their pictures, a picture it
    // asked for lets the next ones be asked. Nothing else may come to look again before the
    // step ends, however long that takes.
    if (step || progressOf(*m_taken) != before)
        lookAhead();
    return step;
}

int AlbumWalk::progressOf(const WalkPosition& at)
{
    return at.picture == 0 ? int(m_steps.page(at).state) : int(m_steps.picture(at).state());
}

std::optional<AlbumWalk::Step> AlbumWalk::takePage(const WalkPosition& at)
{
    WalkSteps::PageStep& step = m_steps.page(at);
    if (step.state == WalkSteps::PageState::Unasked)
        m_steps.askPage(step, at);
    if (step.state == WalkSteps::PageState::Asked) {
        if (!step.fetch->isFinished())
            return std::nullopt;
        m_steps.readPage(step, at);
    }
    if (at.page == 1)
        m_steps.placeFolder(at.album);
    const WalkSteps::AlbumStep& album = m_steps.album(at.album);
    return Step{
        at, {step.address, step.fetched, album.title, album.folder, step.count, step.cause}, {}};
}

std::optional<AlbumWalk::Step> AlbumWalk::takePicture(const WalkPosition& at)
{
    PicturePipeline& picture = m_steps.picture(at);
    if (!picture.finish(m_services, m_steps.album(at.album).folder, at))
        return std::nullopt;
    return Step{at, {}, picture.picture()};
}

QList<AlbumWalk::Picture> AlbumWalk::knownPicturesAhead() const
{
    QList<Picture> known;
    for (auto at = m_taken ? m_steps.after(*m_taken) : std::nullopt; at; at = m_steps.after(*at)) {
        const WalkSteps::PageStep* page = m_steps.pageAt(*at);
        if (at->picture == 0 || !page)
            continue;
        const PicturePipeline& picture = page->pictures[std::size_t(at->picture - 1)];
        using State = PicturePipeline::State;
        if (picture.state() == State::Addressed || picture.state() == State::Saving)
            known.append(picture.picture());
    }
    return known;
}
