#include "monitor/StatusDisplay.h"

#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"

#include <ctime>
#include <stdexcept>
#include <thread> // the clocks; <chrono> spells "µs", which code page 932 has no byte for

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

// The local time of day, "14:32".
std::string clockText(std::time_t now)
{
    char text[8] = {};
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%H:%M", local);
    return text;
}

} // namespace

StatusDisplay::StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle, ChannelView* channels)
    : m_view(view), m_caption(std::move(caption)), m_applicationTitle(std::move(applicationTitle))
{
    if (channels != nullptr)
        m_channels.emplace(*channels);
    m_shown.caption = m_caption;
}

void StatusDisplay::tellChannels(bool turnedFull, bool sawItTurn)
{
    if (!m_channels)
        return;
    m_shown.picture = m_picture.value_or(Picture::Watching);
    m_shown.status = m_status;
    m_shown.marked = m_marked;
    m_shown.caption = m_marked ? m_caption + std::string(texts::noAnswerMark) : m_caption;
    // The gap between notifications on a clock the user's setting of the time cannot move; the
    // wall clock, read on the window's thread only (localtime's buffer is shared), for the text.
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    const std::int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count();
    m_channels->show(m_shown, turnedFull, nowMs, sawItTurn ? clockText(std::time(nullptr)) : std::string());
}

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
        tellChannels(false);
        return;
    }
    if (!result.status) {
        unmark();
        if (result.failure)
            throw std::runtime_error(*result.failure);
        m_shown.switches = result.channels;
        tellChannels(false);
        return;
    }

    // The moment the folder turned full was seen only when this display showed the same folder
    // there and empty before (not at the start, not just named, not back from missing).
    const bool sawItTurn = m_status && *m_status == Status::Watching && m_shown.folder == result.folder;
    m_shown.folder = result.folder;
    m_shown.entries = result.entries;
    m_shown.switches = result.channels;
    const Status status = *result.status;
    m_marked = false;
    showStatus(status, m_view);
    m_caption = m_applicationTitle = statusText(status);
    showPicture(pictureOf(status));
    // Once per arrival: a folder that answers again after a pause has not turned full again.
    const bool turnedFull = status == Status::Arrival && m_status != Status::Arrival;
    if (turnedFull)
        m_view.askForAttention();
    m_status = status;
    tellChannels(turnedFull, sawItTurn);
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
    tellChannels(false);
}

} // namespace monitor
