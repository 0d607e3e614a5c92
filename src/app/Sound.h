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

private:
    struct ContextDeleter
    {
        void operator()(ca_context* context) const;
    };
    std::unique_ptr<ca_context, ContextDeleter> m_context;
};

} // namespace app
