#pragma once

#include <memory>
#include <string>

struct ca_context;

namespace app {

// The arrival sound, through libcanberra (the desktop's sound theme and sound server). Where no
// sound device or server answers, it is silently nothing.
class Sound
{
public:
    Sound();
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Plays the file named, or the sound theme's sound for a new message when `file` is empty.
    void play(const std::string& file);
    // How many sounds were asked of libcanberra, played or not (where there is no device).
    [[nodiscard]] int asked() const { return m_asked; }

private:
    struct ContextDeleter
    {
        void operator()(ca_context* context) const;
    };
    std::unique_ptr<ca_context, ContextDeleter> m_context;
    int m_asked = 0;
};

} // namespace app
