#include "monitor/Channels.h"

#include "common/Texts.h"

namespace monitor {

namespace {

// A new notification no sooner than this after the last: a folder that flaps (a writer renames
// in, a reader takes out) must not leave a stack behind.
constexpr std::int64_t leastNewNoticeGapMs = 60 * 1000;

} // namespace

std::string Channels::entriesSince(std::size_t entries) const
{
    std::string text = std::to_string(entries);
    text.append(texts::entriesAfter);
    if (!m_since.empty())
        text.append(texts::sinceBefore).append(m_since).append(texts::sinceAfter);
    return text;
}

Notice Channels::notice(const Shown& shown, bool fresh) const
{
    return {std::string(texts::statusArrival), shown.folder + "\n" + entriesSince(shown.entries), shown.folder, fresh};
}

void Channels::show(const Shown& shown, bool turnedFull, std::int64_t nowMs, const std::string& clock)
{
    const bool full = shown.status == Status::Arrival;
    if (turnedFull)
        m_since = clock;

    if (shown.switches.tray) {
        std::string tooltip = full ? std::string(texts::statusArrival) + std::string(texts::entriesBefore) +
                                         entriesSince(shown.entries) +
                                         (shown.marked ? std::string(texts::noAnswerMark) : std::string())
                                   : shown.caption;
        if (!shown.folder.empty())
            tooltip += "\n" + shown.folder;
        if (tooltip != m_tooltip || shown.picture != m_trayPicture) {
            m_view.showTrayIcon(shown.picture, tooltip);
            m_tooltip = std::move(tooltip);
            m_trayPicture = shown.picture;
        }
    } else if (m_tooltip) {
        m_view.hideTrayIcon();
        m_tooltip.reset();
    }

    if (full && turnedFull && shown.switches.popup && !m_view.windowActive()) {
        const bool fresh = !m_lastRaised || nowMs - *m_lastRaised >= leastNewNoticeGapMs;
        m_view.showNotice(notice(shown, fresh));
        m_noticeShown = true;
        m_noticeEntries = shown.entries;
        if (fresh) {
            m_lastRaised = nowMs;
            if (shown.switches.sound)
                m_view.playSound(shown.switches.soundFile);
        }
    } else if (full && m_noticeShown && shown.switches.popup && shown.entries != m_noticeEntries) {
        m_view.showNotice(notice(shown, false));
        m_noticeEntries = shown.entries;
    } else if (m_noticeShown && (!full || !shown.switches.popup)) {
        // Emptied, gone, or no status at all: a folder just named has none yet, and the old
        // folder's arrival is no news of it.
        m_view.withdrawNotice();
        m_noticeShown = false;
    }
}

} // namespace monitor
