#pragma once

#include <string>

namespace monitor {

// The two texts the arrival poll writes: the window caption and the application title (the
// taskbar text). Setting a text equal to the current one must not touch the window.
class StatusView
{
public:
    virtual ~StatusView() = default;
    virtual void setCaption(const std::string& text) = 0;
    virtual void setApplicationTitle(const std::string& text) = 0;
};

} // namespace monitor
