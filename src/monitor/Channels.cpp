#include "monitor/Channels.h"

#include "common/Texts.h"

#include <algorithm>
#include <iterator>

namespace monitor {

namespace {

// A new notification no sooner than this after the last: a folder that flaps (a writer renames
// in, a reader takes out) must not leave a stack behind.
constexpr std::int64_t minuteMs = 60 * 1000;
constexpr std::int64_t leastNewNoticeGapMs = minuteMs;

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

std::string waitingText(const Shown& shown, std::int64_t waitedMs)
{
    return shown.folder + "\n" + std::to_string(waitedMs / minuteMs) + std::string(texts::waitingMinutesAfter) +
           std::to_string(shown.entries) + std::string(texts::waitingEntriesAfter) + namesLine(shown);
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

bool Channels::stillSo(NoticeKind kind, const Shown& shown, bool lost) const
{
    switch (kind) {
    case NoticeKind::Lost:
    case NoticeKind::NoAnswer:
        return lost;
    case NoticeKind::NotArrived:
        return !shown.overdue.empty();
    case NoticeKind::Waiting: // a folder that does not answer may still hold them
        return shown.status == Status::Arrival;
    case NoticeKind::Arrival:
        break;
    }
    return shown.status == Status::Arrival && !lost;
}

void Channels::queue(Notice notice, std::int64_t sinceMs)
{
    std::erase_if(m_pending, [&](const Queued& queued) {
        return queued.notice.kind == notice.kind || (lostKind(queued.notice.kind) && lostKind(notice.kind));
    });
    const auto urgency = [](NoticeKind kind) { return lostKind(kind) ? 0 : kind == NoticeKind::Arrival ? 1 : 2; };
    const auto before = std::find_if(m_pending.begin(), m_pending.end(), [&](const Queued& queued) {
        return urgency(queued.notice.kind) > urgency(notice.kind);
    });
    m_pending.insert(before, Queued{std::move(notice), sinceMs});
}

void Channels::raiseQueued(const Shown& shown, std::int64_t nowMs)
{
    const auto expired = [&](const auto& last) { return nowMs - last.second >= leastNewNoticeGapMs; };
    std::erase_if(m_lastRaised, expired);
    std::erase_if(m_lastLostRaised, expired);
    // A lost folder's notice on screen is the most urgent word: nothing else covers it.
    if (m_pending.empty() || !shown.current || !shown.paused.empty() || !shown.switches.popup ||
        m_view.windowActive() ||
        (!lostKind(m_pending.front().notice.kind) && (shown.marked || (m_noticeShown && lostKind(m_noticeKind)))))
        return;
    // What waited is told as it is now: more may have come meanwhile.
    Queued next = m_pending.front();
    if (next.notice.kind == NoticeKind::Waiting)
        next.notice.text = waitingText(shown, nowMs - next.sinceMs);
    else if (next.notice.kind == NoticeKind::Arrival)
        next.notice = notice(shown, true);
    const bool lost = lostKind(next.notice.kind);
    if (!(lost ? m_lastLostRaised : m_lastRaised).contains(shown.folder)) {
        m_lastRaised[shown.folder] = nowMs;
        if (lost)
            m_lastLostRaised[shown.folder] = nowMs;
        next.notice.fresh = true;
        shows(next.notice, shown);
        if (shown.switches.sound && !lost)
            m_view.playSound(shown.switches.soundFile);
    } else if (!lost && m_noticeShown && !lostKind(m_noticeKind)) {
        // Too soon: the one still on screen is told the news in place, which is no new popup. A
        // lost folder's is not: it is withdrawn when the folder is back.
        next.notice.fresh = false;
        shows(next.notice, shown);
    } else {
        // What the one on screen says is no longer so; only the new popup waits.
        if (lost && m_noticeShown && !lostKind(m_noticeKind))
            withdraw();
        return;
    }
    m_pending.erase(m_pending.begin());
}

void Channels::remind(const Reminder& reminder, const Shown& shown, std::int64_t nowMs)
{
    queue({reminder.title, reminder.text, shown.folder, true, reminder.kind}, reminder.sinceMs);
    raiseQueued(shown, nowMs);
}

void Channels::showTray(const Shown& shown)
{
    const bool full = shown.status == Status::Arrival;
    if (!shown.switches.tray) {
        if (m_tooltip)
            m_view.hideTrayIcon();
        m_tooltip.reset();
        return;
    }
    std::string tooltip = full ? std::string(texts::statusArrival) + std::string(texts::entriesBefore) +
                                     entriesSince(shown.entries) +
                                     (shown.marked ? std::string(texts::noAnswerMark) : std::string())
                               : shown.caption;
    if (shown.leftOut > 0)
        tooltip.append(texts::leftOutBefore).append(std::to_string(shown.leftOut)).append(texts::leftOutAfter);
    if (!shown.paused.empty())
        tooltip += "\n" + shown.paused;
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
    const bool paused = !shown.paused.empty();
    if (tooltip != m_tooltip || picture != m_trayPicture || paused != m_trayPaused) {
        m_view.showTrayIcon(picture, paused, tooltip);
        m_tooltip = std::move(tooltip);
        m_trayPicture = picture;
        m_trayPaused = paused;
    }
}

void Channels::show(const Shown& shown, bool turnedFull, std::int64_t nowMs, const std::string& clock)
{
    const bool full = shown.status == Status::Arrival;
    if (turnedFull)
        m_since = clock;
    showTray(shown);

    // Lost: a folder seen there that is missing now, or does not answer.
    const bool lost =
        !shown.folder.empty() && shown.folder == m_presentFolder && (shown.status == Status::NoFolder || shown.marked);
    if (!shown.marked && shown.status && *shown.status != Status::NoFolder)
        m_presentFolder = shown.folder;
    const bool away = shown.switches.popup && !m_view.windowActive();

    // What waits and is no longer so leaves the queue, once the folder set has answered; an
    // arrival or a lost folder that the user sees in the window, or wants no popup of, is no news.
    std::erase_if(m_pending, [&](const Queued& queued) {
        const NoticeKind kind = queued.notice.kind;
        return shown.current && (!stillSo(kind, shown, lost) || queued.notice.folder != shown.folder ||
                                 ((kind == NoticeKind::Arrival || lostKind(kind)) && !away));
    });
    if (lost && away && (!m_noticeShown || !lostKind(m_noticeKind))) {
        const std::string_view title = shown.marked ? texts::folderNotAnswering : texts::statusNoFolder;
        queue({std::string(title), shown.folder, shown.folder, true,
               shown.marked ? NoticeKind::NoAnswer : NoticeKind::Lost});
    } else if (full && away && turnedFull) {
        queue(notice(shown, true));
    }
    raiseQueued(shown, nowMs);

    // The one on screen that is no longer so goes; one of entries is told what they are now.
    if (m_noticeShown && (!shown.current || !shown.switches.popup || !stillSo(m_noticeKind, shown, lost) ||
                          shown.folder != m_noticeFolder))
        withdraw();
    else if (m_noticeShown && (m_noticeKind == NoticeKind::Arrival || m_noticeKind == NoticeKind::Waiting) &&
             (shown.entries != m_noticeEntries || shown.names != m_noticeNames))
        shows(notice(shown, false), shown);
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
