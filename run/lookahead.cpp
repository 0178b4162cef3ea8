#include "lookahead.h"

#include "walksteps.h"
#include "web/getbody.h"

void LookAhead::run(const std::optional<WalkPosition>& taken)
{
    if (m_ahead == 0)
        return;
    Known known = taken ? knownPast(*taken) : Known{};
    // As far as `m_ahead` albums past the one taken, counting only those the walk will take:
    // positions left out, or kept for a listing page that could not be had, are no work.
    qsizetype album = taken ? taken->album : 0;
    int albumsPast = taken ? 0 : -1;
    for (auto at = taken ? m_steps.after(*taken) : m_steps.first(); at; at = m_steps.after(*at)) {
        if (at->album != album) {
            album = at->album;
            if (++albumsPast > m_ahead)
                return;
        }
        if (!lookAt(*at, known))
            return;
    }
}

LookAhead::Known LookAhead::knownPast(const WalkPosition& taken) const
{
    Known known;
    const WalkSteps::PageStep* page = m_steps.pageAt(taken);
    if (taken.picture == 0) {
        if (!page || page->state != WalkSteps::PageState::Read)
            known = {false, false};
        return known;
    }
    const PicturePipeline::State state = page->pictures[std::size_t(taken.picture - 1)].state();
    if (state == PicturePipeline::State::Named || state == PicturePipeline::State::PageAsked)
        known.pictures = false;
    return known;
}

bool LookAhead::lookAt(const WalkPosition& at, Known& known)
{
    return at.picture == 0 ? lookAtPage(at, known) : lookAtPicture(at, known);
}

bool LookAhead::lookAtPage(const WalkPosition& at, Known& known)
{
    WalkSteps::PageStep& step = m_steps.page(at);
    if (step.state == WalkSteps::PageState::Unasked) {
        if (m_services.inFlight >= m_ahead)
            return false;
        m_steps.askPage(step, at);
    }
    if (step.state == WalkSteps::PageState::Asked) {
        if (!step.fetch->isFinished()) {
            // Its pictures and later pages wait for it, and what it links to is not known.
            known = {false, false};
            return true;
        }
        m_steps.readPage(step, at);
    }
    // In the listing's order, as one at a time would: an album takes its folder's name only
    // when every earlier album has taken its own.
    if (known.pages && at.page == 1)
        m_steps.placeFolder(at.album);
    return true;
}

bool LookAhead::lookAtPicture(const WalkPosition& at, Known& known)
{
    using State = PicturePipeline::State;
    PicturePipeline& picture = m_steps.picture(at);
    const QString& folder = m_steps.album(at.album).folder;
    switch (picture.state()) {
    case State::Found:
    case State::Named:
        if (!known.pages) {
            known.pictures = false;
            return true;
        }
        if (picture.state() == State::Found) {
            picture.name(m_services, folder);
            if (picture.state() != State::Named)
                return true;
        }
        if (m_services.inFlight >= m_ahead)
            return false;
        picture.askPage(m_services, at);
        [[fallthrough]];
    case State::PageAsked:
        if (!picture.pageArrived()) {
            known.pictures = false;
            return true;
        }
        picture.readPage(m_services);
        if (picture.state() != State::Addressed)
            return true;
        [[fallthrough]];
    case State::Addressed:
        if (!known.pictures)
            return true;
        if (m_services.inFlight >= m_ahead)
            return false;
        picture.saveAhead(m_services, folder, at);
        return true;
    default:
        return true;
    }
}
