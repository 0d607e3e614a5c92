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

bool Channels::raise(const Shown& shown, std::int64_t nowMs)
{
    std::erase_if(m_lastRaised, [&](const auto& last) { return nowMs - last.second >= leastNewNoticeGapMs; });
    if (m_lastRaised.contains(shown.folder))
        return false;
    m_lastRaised.emplace(shown.folder, nowMs);
    m_view.showNotice(notice(shown, true));
    m_noticeShown = true;
    m_noticeEntries = shown.entries;
    m_noticeFolder = shown.folder;
    if (shown.switches.sound)
        m_view.playSound(shown.switches.soundFile);
    return true;
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

    const auto update = [&] {
        m_view.showNotice(notice(shown, false));
        m_noticeEntries = shown.entries;
        m_noticeFolder = shown.folder;
    };
    // A raise that waits is news only while the folder stays full and the user away.
    if (!full || !shown.switches.popup || m_view.windowActive())
        m_raiseDue = false;
    if (full && turnedFull && shown.switches.popup && !m_view.windowActive()) {
        // Too soon: the one still on screen is told the news in place, which is no new popup.
        if (!raise(shown, nowMs)) {
            if (m_noticeShown)
                update();
            else
                m_raiseDue = true;
        }
    } else if (m_raiseDue && !shown.marked) {
        m_raiseDue = !raise(shown, nowMs);
    } else if (full && m_noticeShown && shown.switches.popup &&
               (shown.entries != m_noticeEntries || shown.folder != m_noticeFolder)) {
        update();
    } else if (m_noticeShown && (!full || !shown.switches.popup)) {
        // Emptied, gone, or no status at all: a folder just named has none yet, and the old
        // folder's arrival is no news of it.
        m_view.withdrawNotice();
        m_noticeShown = false;
    }
}

void tellFolderNotOpened(ChannelView& view, const std::string& folder, bool popup)
{
    const std::string_view text = texts::openFolderFailed;
    const std::string boxText = std::string(text) + folder;
    if (popup)
        view.showFailureNotice(std::string(text.substr(0, text.find('\r'))), folder, boxText);
    else
        view.showErrorBox(boxText);
}

} // namespace monitor
