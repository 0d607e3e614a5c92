#include "app/Sound.h"

#include "common/Texts.h"

#include <canberra.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace app {

// Shared by the window and the playing thread, which may outlive the window when a call hangs.
struct Sound::Player
{
    std::mutex mutex;
    std::condition_variable wanted;
    std::optional<std::string> next; // the file of the sound waiting, empty for the theme's
    bool stopping = false;

    void run();
};

void Sound::Player::run()
{
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        context = nullptr;
    if (context != nullptr) {
        // The sound server lists the tool by these; a failure to set them changes nothing audible.
        const std::string name(texts::windowCaption);
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, name.c_str(), CA_PROP_APPLICATION_ID,
                                "org.kelvoran.Kelvoran", CA_PROP_APPLICATION_ICON_NAME, "kelvoran", nullptr);
    }
    const std::string description(texts::statusArrival);
    for (;;) {
        std::unique_lock lock(mutex);
        wanted.wait(lock, [&] { return stopping || next.has_value(); });
        if (stopping)
            break;
        const std::string file = std::move(*next);
        next.reset();
        lock.unlock();
        // A missing device or file is an error code here, and nothing to tell the user about.
        if (context == nullptr)
            continue;
        if (file.empty())
            ca_context_play(context, 0, CA_PROP_EVENT_ID, "message-new-instant", CA_PROP_EVENT_DESCRIPTION,
                            description.c_str(), nullptr);
        else
            ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_EVENT_DESCRIPTION,
                            description.c_str(), nullptr);
    }
    if (context != nullptr)
        ca_context_destroy(context);
}

Sound::Sound() : m_player(std::make_shared<Player>())
{
    std::thread([player = m_player] { player->run(); }).detach();
}

Sound::~Sound()
{
    // Not waited for: a sound being started on a share that hangs must not hold the tool's end.
    const std::lock_guard lock(m_player->mutex);
    m_player->stopping = true;
    m_player->wanted.notify_one();
}

void Sound::play(const std::string& file)
{
    ++m_asked;
    const std::lock_guard lock(m_player->mutex);
    m_player->next = file;
    m_player->wanted.notify_one();
}

} // namespace app
