#pragma once

#include <string>

namespace monitor {

enum class Status
{
    Arrival,
    Watching,
    NoFolder,
};

// What the window's icon and taskbar icon show: one picture a status, and one for a folder that
// stopped answering. The notification-area icon has one more, for a delivery that did not come.
enum class Picture
{
    Watching,
    Arrival,
    NoFolder,
    NoAnswer,
    NotArrived,
};

// The two texts the arrival poll writes: the window caption and the application title (the
// taskbar text). Setting a text equal to the current one must not touch the window.
class StatusView
{
public:
    virtual ~StatusView() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual void setApplicationTitle(const std::string& text) = 0;
    // Puts the picture on the window and its taskbar button.
    virtual void showPicture(Picture /*picture*/) {}
    // Asks for the user's attention, unless the user is looking at the window already.
    virtual void askForAttention() {}
    // Takes back a request for attention still standing (the folder is no longer full).
    virtual void withdrawAttention() {}
    // Names the folder the status is of, where the window names the watched folder (as stored).
    virtual void showFolder(const std::string& /*folder*/) {}
};

} // namespace monitor
