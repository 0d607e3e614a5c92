#include "winapp/Sound.h"

namespace winapp {

void Sound::play(const std::string& file) const
{
    // Asynchronous: the window goes on at once. A failure is no sound, nothing else.
    if (file.empty())
        playSound("SystemNotification", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
    else
        playSound(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}

} // namespace winapp
