#pragma once

#include "setup/SettingsDialog.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace app {

// The arrival sound, through libcanberra (the desktop's sound theme and sound server). Where no
// sound device or server answers, it is silently nothing. libcanberra opens the file and talks
// to the sound server in the calling thread, and either may hang (a sound file on a share that
// stops answering, a stalled server): the sounds are played by a thread of their own, which the
// window never waits for. ALSA's own complaints (no card, no default device) are kept off the
// terminal.
class Sound
{
public:
    // What became of one sound: set by the playing thread once it started or failed.
    class Outcome
    {
    public:
        [[nodiscard]] bool known() const { return m_state.load() != waiting; }
        // Why nothing played; nullopt when it started (or is not known yet).
        [[nodiscard]] std::optional<setup::PlayFailure> failure() const;
        void set(std::optional<setup::PlayFailure> failure);

    private:
        static constexpr int waiting = -2;
        static constexpr int started = -1;
        std::atomic<int> m_state{waiting};
    };

    Sound();
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Plays the file named, or the sound theme's sound for a new message when `file` is empty.
    // A sound asked for while the last one is still being started replaces any other waiting;
    // the outcome of one replaced stays unknown.
    std::shared_ptr<const Outcome> play(const std::string& file);
    // How many sounds were asked for, played or not (where there is no device).
    [[nodiscard]] int asked() const { return m_asked; }

private:
    struct Player;
    std::shared_ptr<Player> m_player;
    int m_asked = 0;
};

} // namespace app
