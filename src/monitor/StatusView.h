#pragma once

#include <optional>
#include <string>

namespace monitor {

enum class Status
{
    Arrival,
    Watching,
    NoFolder,
};

// The two texts the arrival poll writes: the window caption and the application title (the
// taskbar text). Setting a text equal to the current one must not touch the window.
class StatusView
{
public:
    virtual ~StatusView() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual void setApplicationTitle(const std::string& text) = 0;
    // Called after both texts with the status they show, for what else the window shows of it
    // (its icon, a request for the user's attention).
    virtual void statusShown(Status /*status*/) {}
};

// What a shown status asks of the window beyond its texts: a new icon when the status changed,
// and the user's attention when the folder turns to holding an entry, not again while it keeps
// holding one. Kept by the window, which alone remembers what it shows.
class StatusSignals
{
public:
    struct Asked
    {
        bool newIcon;
        bool attention;
    };

    [[nodiscard]] Asked shown(Status status)
    {
        const Asked asked{status != m_last, status == Status::Arrival && m_last != Status::Arrival};
        m_last = status;
        return asked;
    }

private:
    std::optional<Status> m_last;
};

} // namespace monitor
