#include "app/Sound.h"

#include "common/Texts.h"

#include <canberra.h>
#include <dlfcn.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

namespace app {

namespace {

// ALSA's snd_lib_error_handler_t, which prints to the terminal unless replaced.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);

void ignoreAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*error*/,
                     const char* /*format*/, ...)
{}

// libcanberra's ALSA driver lets ALSA print a dozen lines for every sound where no card is found.
// ALSA has no switch for it but its error handler, replaced here in the library libcanberra
// loaded; the tool never loads ALSA itself (RTLD_NOLOAD). True once replaced.
bool quietAlsa()
{
    void* const alsa = ::dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (alsa == nullptr)
        return false;
    const auto set = reinterpret_cast<SetAlsaErrorHandler>(::dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr)
        set(&ignoreAlsaError);
    ::dlclose(alsa);
    return set != nullptr;
}

bool readable(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return in.get() != std::ifstream::traits_type::eof();
}

// libcanberra's answer as the dialog tells it, a file that cannot be read first, as on Windows.
// Not found is said alike of the file, the theme's sound and ALSA's device: a file that reads, or
// the theme's sound (which comes with libcanberra's package), names the device.
std::optional<setup::PlayFailure> failureOf(int played, const std::string& file)
{
    if (played == CA_SUCCESS)
        return std::nullopt;
    if (!file.empty() && !readable(file))
        return setup::PlayFailure::Unreadable;
    switch (played) {
    case CA_ERROR_NODRIVER:
    case CA_ERROR_NOTAVAILABLE:
    case CA_ERROR_DISCONNECTED:
    case CA_ERROR_NOTFOUND:
        return setup::PlayFailure::NoDevice;
    case CA_ERROR_CORRUPT:
    case CA_ERROR_NOTSUPPORTED:
    case CA_ERROR_TOOBIG:
        return file.empty() ? setup::PlayFailure::Other : setup::PlayFailure::Unreadable;
    default:
        break;
    }
    return setup::PlayFailure::Other;
}

} // namespace

std::optional<setup::PlayFailure> Sound::Outcome::failure() const
{
    const int state = m_state.load();
    if (state < 0)
        return std::nullopt;
    return static_cast<setup::PlayFailure>(state);
}

void Sound::Outcome::set(std::optional<setup::PlayFailure> failure)
{
    m_state = failure ? static_cast<int>(*failure) : started;
}

// Shared by the window and the playing thread, which may outlive the window when a call hangs.
struct Sound::Player
{
    struct Wanted
    {
        std::string file; // empty for the theme's sound
        std::shared_ptr<Outcome> outcome;
    };

    std::mutex mutex;
    std::condition_variable wanted;
    std::optional<Wanted> next;
    bool stopping = false;

    void run();
};

void Sound::Player::run()
{
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        context = nullptr;
    bool quiet = false;
    if (context != nullptr) {
        // The sound server lists the tool by these; a failure to set them changes nothing audible.
        const std::string name(texts::windowCaption);
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, name.c_str(), CA_PROP_APPLICATION_ID,
                                "org.kelvoran.Kelvoran", CA_PROP_APPLICATION_ICON_NAME, "kelvoran", nullptr);
        // The driver is chosen and loaded here, so that ALSA is quiet before the first sound.
        ca_context_open(context);
        quiet = quietAlsa();
    }
    const std::string description(texts::statusArrival);
    for (;;) {
        std::unique_lock lock(mutex);
        wanted.wait(lock, [&] { return stopping || next.has_value(); });
        if (stopping)
            break;
        const Wanted sound = std::move(*next);
        next.reset();
        lock.unlock();
        if (context == nullptr) {
            sound.outcome->set(setup::PlayFailure::Other);
            continue;
        }
        int played = CA_SUCCESS;
        if (sound.file.empty())
            played = ca_context_play(context, 0, CA_PROP_EVENT_ID, "message-new-instant", CA_PROP_EVENT_DESCRIPTION,
                                     description.c_str(), nullptr);
        else
            played = ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, sound.file.c_str(), CA_PROP_EVENT_DESCRIPTION,
                                     description.c_str(), nullptr);
        // A driver that failed to open before is opened by the play.
        quiet = quiet || quietAlsa();
        sound.outcome->set(failureOf(played, sound.file));
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

std::shared_ptr<const Sound::Outcome> Sound::play(const std::string& file)
{
    ++m_asked;
    auto outcome = std::make_shared<Outcome>();
    const std::lock_guard lock(m_player->mutex);
    m_player->next = Player::Wanted{file, outcome};
    m_player->wanted.notify_one();
    return outcome;
}

} // namespace app
