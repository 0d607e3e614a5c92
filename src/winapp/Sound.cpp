#include "winapp/Sound.h"

#include "setup/SettingsDialog.h"

#include <exception>
#include <optional>
#include <thread>

namespace winapp {

namespace {

bool readable(const std::string& file)
{
    const HANDLE opened = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(opened);
    return true;
}

// Asked whatever PlaySound answered: an asynchronous sound may be reported started before its file
// was read.
std::optional<setup::PlayFailure> failureOf(bool played, const std::string& file)
{
    if (!file.empty() && !readable(file))
        return setup::PlayFailure::Unreadable;
    if (::waveOutGetNumDevs() == 0)
        return setup::PlayFailure::NoDevice;
    if (played)
        return std::nullopt;
    return file.empty() ? setup::PlayFailure::Other : setup::PlayFailure::Unreadable;
}

} // namespace

void Sound::play(const std::string& file, HWND told) const
{
    if (m_playing->exchange(true))
        return;
    // The thread owns copies of all it uses: the window may be gone before the call returns.
    // Asynchronous as well: the thread ends once the sound has started. A failure is no sound,
    // nothing else.
    try {
        std::thread([playing = m_playing, playSound = playSound, file, told] {
            const BOOL played = file.empty()
                                    ? playSound("SystemNotification", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT)
                                    : playSound(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
            if (told != nullptr) {
                const std::optional<setup::PlayFailure> failure = failureOf(played != FALSE, file);
                ::PostMessageA(told, playedMessage, failure ? 1 + static_cast<WPARAM>(*failure) : 0, 0);
            }
            *playing = false;
        }).detach();
    } catch (const std::exception&) {
        *m_playing = false;
    }
}

} // namespace winapp
