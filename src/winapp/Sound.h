#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <functional>
#include <string>

namespace winapp {

// The arrival's short sound, played without waiting for it: the file the settings name, or the
// system's notification sound ("SystemNotification" in the sound scheme) when they name none. A
// sound that cannot be found stays silent rather than playing the default beep.
class Sound
{
public:
    void play(const std::string& file) const;

    // The call that plays; tests record it here.
    std::function<BOOL(const char*, HMODULE, DWORD)> playSound = &::PlaySoundA;
};

} // namespace winapp
