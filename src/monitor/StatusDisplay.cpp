#include "monitor/StatusDisplay.h"

#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"

#include <stdexcept>

namespace monitor {

namespace {

Picture pictureOf(Status status)
{
    switch (status) {
    case Status::Arrival:
        return Picture::Arrival;
    case Status::NoFolder:
        return Picture::NoFolder;
    case Status::Watching:
        break;
    }
    return Picture::Watching;
}

std::string statusText(Status status)
{
    switch (status) {
    case Status::Arrival:
        return std::string(texts::statusArrival);
    case Status::NoFolder:
        return std::string(texts::statusNoFolder);
    case Status::Watching:
        break;
    }
    return std::string(texts::statusWatching);
}

} // namespace

StatusDisplay::StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle)
    : m_view(view), m_caption(std::move(caption)), m_applicationTitle(std::move(applicationTitle))
{}

void StatusDisplay::show(const CheckResult& result)
{
    if (result.noAnswer) {
        if (m_marked)
            return;
        m_marked = true;
        // The taskbar text first: it is what a minimised user is watching.
        m_view.setApplicationTitle(m_applicationTitle + std::string(texts::noAnswerMark));
        m_view.setCaption(m_caption + std::string(texts::noAnswerMark));
        showPicture(Picture::NoAnswer);
        return;
    }
    if (!result.status) {
        unmark();
        if (result.failure)
            throw std::runtime_error(*result.failure);
        return;
    }

    const Status status = *result.status;
    m_marked = false;
    showStatus(status, m_view);
    m_caption = m_applicationTitle = statusText(status);
    showPicture(pictureOf(status));
    // Once per arrival: a folder that answers again after a pause has not turned full again.
    if (status == Status::Arrival && m_status != Status::Arrival)
        m_view.askForAttention();
    m_status = status;
}

void StatusDisplay::showPicture(Picture picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    m_view.showPicture(picture);
}

void StatusDisplay::unmark()
{
    if (!m_marked)
        return;
    m_marked = false;
    m_view.setApplicationTitle(m_applicationTitle);
    m_view.setCaption(m_caption);
    showPicture(m_status ? pictureOf(*m_status) : Picture::Watching);
}

} // namespace monitor
