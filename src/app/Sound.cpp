#include "app/Sound.h"

#include "common/Texts.h"

#include <canberra.h>

namespace app {

void Sound::ContextDeleter::operator()(ca_context* context) const
{
    ca_context_destroy(context);
}

Sound::Sound()
{
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return;
    m_context.reset(context);
    // The sound server lists the tool by these; a failure to set them changes nothing audible.
    const std::string name(texts::windowCaption);
    ca_context_change_props(m_context.get(), CA_PROP_APPLICATION_NAME, name.c_str(), CA_PROP_APPLICATION_ID,
                            "org.kelvoran.Kelvoran", CA_PROP_APPLICATION_ICON_NAME, "kelvoran", nullptr);
}

Sound::~Sound() = default;

void Sound::play(const std::string& file)
{
    ++m_asked;
    if (!m_context)
        return;
    // libcanberra plays in the background and connects to the sound server at the first sound;
    // a missing device is an error code here, and nothing to tell the user about.
    const std::string description(texts::statusArrival);
    if (file.empty())
        ca_context_play(m_context.get(), 0, CA_PROP_EVENT_ID, "message-new-instant", CA_PROP_EVENT_DESCRIPTION,
                        description.c_str(), nullptr);
    else
        ca_context_play(m_context.get(), 0, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_EVENT_DESCRIPTION,
                        description.c_str(), nullptr);
}

} // namespace app
