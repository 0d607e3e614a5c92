#include "winapp/Sound.h"

#include <exception>
#include <thread>

namespace winapp {

void Sound::play(const std::string& file) const
{
    if (m_playing->exchange(true))
        return;
    // The thread owns copies of all it uses: the window may be gone before the call returns.
    // Asynchronous as well: the thread ends once the sound has started. A failure is no sound,
    // nothing else.
    try {
        std::thread([playing = m_playing, playSound = playSound, file] {
            if (file.empty())
                playSound("SystemNotification", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
            else
                playSound(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
            *playing = false;
        }).detach();
    } catch (const std::exception&) {
        *m_playing = false;
    }
}

} // namespace winapp
