#include "monitor/Channels.h"

#include "common/Texts.h"

#include <algorithm>
#include <iterator>

namespace monitor {

namespace {

// A new notification no sooner than this after the last: a folder that flaps (a writer renames
// in, a reader takes out) must not leave a stack behind.
constexpr std::int64_t leastNewNoticeGapMs = 60 * 1000;

// A notice of a lost folder, missing or not answering.
bool lostKind(NoticeKind kind)
{
    return kind == NoticeKind::Lost || kind == NoticeKind::NoAnswer;
}

} // namespace

std::string namesText(const std::vector<std::string>& names, std::size_t entries)
{
    std::string text;
    for (const std::string& name : names) {
        text.append(text.empty() ? "" : texts::namesSeparator);
        // A line break in a name would split the notice's lines; no trail byte of code page 932
        // is one.
        std::ranges::replace_copy_if(
            name, std::back_inserter(text), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    }
    if (!text.empty() && entries > names.size())
        text.append(texts::othersBefore).append(std::to_string(entries - names.size())).append(texts::entriesAfter);
    return text;
}

std::string namesLine(const Shown& shown)
{
    const std::string names = namesText(shown.names, shown.entries);
    return names.empty() ? names : "\n" + names;
}

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
    return {std::string(texts::statusArrival), shown.folder + "\n" + entriesSince(shown.entries) + namesLine(shown),
            shown.folder, fresh};
}

void Channels::shows(const Notice& notice, const Shown& shown)
{
    m_view.showNotice(notice);
    m_noticeShown = true;
    m_noticeKind = notice.kind;
    m_noticeEntries = shown.entries;
    m_noticeNames = shown.names;
    m_noticeFolder = shown.folder;
}

void Channels::withdraw()
{
    m_view.withdrawNotice();
    m_noticeShown = false;
}

bool Channels::raise(const Notice& notice, const Shown& shown, std::int64_t nowMs)
{
    std::erase_if(m_lastRaised, [&](const auto& last) { return nowMs - last.second >= leastNewNoticeGapMs; });
    if (m_lastRaised.contains(shown.folder))
        return false;
    m_lastRaised.emplace(shown.folder, nowMs);
    shows(notice, shown);
    if (shown.switches.sound && !lostKind(notice.kind))
        m_view.playSound(shown.switches.soundFile);
    return true;
}

void Channels::remind(const Reminder& reminder, const Shown& shown, std::int64_t nowMs)
{
    if (!shown.switches.popup || m_view.windowActive())
        return;
    Notice notice{reminder.title, reminder.text, shown.folder, true, reminder.kind};
    if (!raise(notice, shown, nowMs) && m_noticeShown) {
        notice.fresh = false;
        shows(notice, shown);
    }
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
        if (!shown.overdue.empty())
            tooltip += "\n" + shown.overdue;
        if (!shown.folder.empty())
            tooltip += "\n" + shown.folder;
        if (full)
            tooltip += namesLine(shown);
        // The delivery that did not come shows in the picture too, unless the folder is missing or
        // does not answer: then nothing is known of what came.
        const Picture picture =
            !shown.overdue.empty() && (shown.picture == Picture::Watching || shown.picture == Picture::Arrival)
                ? Picture::NotArrived
                : shown.picture;
        if (tooltip != m_tooltip || picture != m_trayPicture) {
            m_view.showTrayIcon(picture, tooltip);
            m_tooltip = std::move(tooltip);
            m_trayPicture = picture;
        }
    } else if (m_tooltip) {
        m_view.hideTrayIcon();
        m_tooltip.reset();
    }

    // Lost: a folder seen there that is missing now, or does not answer.
    const bool lost =
        !shown.folder.empty() && shown.folder == m_presentFolder && (shown.status == Status::NoFolder || shown.marked);
    if (!shown.marked && shown.status && *shown.status != Status::NoFolder)
        m_presentFolder = shown.folder;
    if (lost) {
        m_raiseDue = false;
        if (!shown.switches.popup) {
            m_lostDue = false;
            if (m_noticeShown)
                withdraw();
        } else if (m_view.windowActive()) {
            m_lostDue = false;
        } else if (!lostKind(m_noticeKind) || !m_noticeShown) {
            const std::string_view title = shown.marked ? texts::folderNotAnswering : texts::statusNoFolder;
            const NoticeKind kind = shown.marked ? NoticeKind::NoAnswer : NoticeKind::Lost;
            m_lostDue = !raise({std::string(title), shown.folder, shown.folder, true, kind}, shown, nowMs);
            // What the one on screen says is no longer so; only the new popup waits.
            if (m_lostDue && m_noticeShown)
                withdraw();
        }
        return;
    }
    m_lostDue = false;
    if (m_noticeShown && lostKind(m_noticeKind)) {
        // Back: what it holds is news again.
        withdraw();
        m_raiseDue = full && shown.switches.popup && !m_view.windowActive();
    }

    // A raise that waits is news only while the folder stays full and the user away.
    if (!full || !shown.switches.popup || m_view.windowActive())
        m_raiseDue = false;
    if (full && turnedFull && shown.switches.popup && !m_view.windowActive()) {
        // Too soon: the one still on screen is told the news in place, which is no new popup.
        if (!raise(notice(shown, true), shown, nowMs)) {
            if (m_noticeShown)
                shows(notice(shown, false), shown);
            else
                m_raiseDue = true;
        }
    } else if (m_raiseDue && !shown.marked) {
        m_raiseDue = !raise(notice(shown, true), shown, nowMs);
    } else if (m_noticeShown && m_noticeKind == NoticeKind::NotArrived) {
        // Told until something arrives or the day ends.
        if (shown.overdue.empty() || !shown.switches.popup)
            withdraw();
    } else if (full && m_noticeShown && shown.switches.popup &&
               (shown.entries != m_noticeEntries || shown.names != m_noticeNames || shown.folder != m_noticeFolder)) {
        shows(notice(shown, false), shown);
    } else if (m_noticeShown && (!full || !shown.switches.popup)) {
        // Emptied, gone, or no status at all: a folder just named has none yet, and the old
        // folder's arrival is no news of it.
        withdraw();
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
