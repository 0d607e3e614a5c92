#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace winapp {

// The arrival's short sound, played without waiting for it: the file the settings name, or the
// system's notification sound ("SystemNotification" in the sound scheme) when they name none. A
// sound that cannot be found stays silent rather than playing the default beep, and says why to a
// window that asks. The call runs on
// a thread of its own, as finding the file may wait on a share that does not answer; while one
// such call is on its way, a further sound is left out.
class Sound
{
public:
    // Posted to the window that asked for the sound once it started (wParam 0) or played nothing
    // (wParam 1 + the setup::PlayFailure that says why).
    static constexpr UINT playedMessage = WM_APP + 40;

    // `told`, when given, learns what became of the sound by playedMessage; a sound left out tells
    // nothing.
    void play(const std::string& file, HWND told = nullptr) const;

    // The call that plays, on the sound's own thread; tests record it here.
    std::function<BOOL(const char*, HMODULE, DWORD)> playSound = &::PlaySoundA;

private:
    // Set while a call is on its way; shared with its thread, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> m_playing = std::make_shared<std::atomic<bool>>(false);
};

} // namespace winapp
