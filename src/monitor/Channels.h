#pragma once

#include "monitor/StatusView.h"
#include "settings/ChannelSettings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace monitor {

// The arrival notification as the channels show it.
struct Notice
{
    std::string title;  // the arrival text
    std::string text;   // the folder, then "3 件 (14:32 から)", joined by "\n"
    std::string folder; // as stored, for the action that opens it
    bool fresh = false; // a new notification, with its sound; else the one shown, updated in place
};

// What the louder channels need of the front end, which carries each out with its system's calls.
class ChannelView
{
public:
    virtual ~ChannelView() = default;
    // The notification-area icon with this picture and tooltip; or no icon.
    virtual void showTrayIcon(Picture picture, const std::string& tooltip) = 0;
    virtual void hideTrayIcon() = 0;
    // Raises the arrival notification, or updates the one shown in place; withdraws it.
    virtual void showNotice(const Notice& notice) = 0;
    virtual void withdrawNotice() = 0;
    // One short sound: the file named, or the system's notification sound when none is.
    virtual void playSound(const std::string& file) = 0;
    // True while the user works in the tool's window: no notification is needed then.
    [[nodiscard]] virtual bool windowActive() const = 0;
};

// What the window shows, as the channels take it.
struct Shown
{
    std::string caption; // the caption's text, no-answer mark included
    Picture picture = Picture::Watching;
    std::optional<Status> status; // the last status shown
    bool marked = false;          // the no-answer mark is shown
    std::string folder;           // as stored
    std::size_t entries = 0;
    settings::ChannelSettings switches;
};

// When each louder channel speaks. The icon follows what the window shows. The notification is
// raised when the folder turns to holding entries while the user looks elsewhere (the moment the
// window asks for attention), updated in place while it stays full, and withdrawn when it
// empties; a folder that flaps raises at most one new notification a minute, a turn to full
// sooner than that shows the last one again in place. The sound goes with each new notification.
class Channels
{
public:
    explicit Channels(ChannelView& view) : m_view(view) {}

    // `turnedFull`: the status has just turned to arrival. `nowMs`: a clock in milliseconds;
    // `clock`: the local time of day as the user reads it ("14:32"), empty when the moment the
    // folder turned full was not seen.
    void show(const Shown& shown, bool turnedFull, std::int64_t nowMs, const std::string& clock);

private:
    [[nodiscard]] std::string entriesSince(std::size_t entries) const;
    [[nodiscard]] Notice notice(const Shown& shown, bool fresh) const;

    ChannelView& m_view;
    std::optional<std::string> m_tooltip; // of the icon shown; none when no icon is
    Picture m_trayPicture = Picture::Watching;
    bool m_noticeShown = false;
    std::size_t m_noticeEntries = 0;
    std::optional<std::int64_t> m_lastRaised;
    std::string m_since; // the local time the folder turned full
};

} // namespace monitor
