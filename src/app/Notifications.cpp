#include "app/Notifications.h"

#include "app/TextCodec.h"
#include "common/Texts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace app {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

// Sends `message` without waiting; `done` gets the reply on the window's thread.
template <typename... Reply, typename Done> void sendLater(const QDBusMessage& message, QObject* owner, Done&& done)
{
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [done = std::forward<Done>(done)](QDBusPendingCallWatcher* finished) {
                         done(QDBusPendingReply<Reply...>(*finished));
                         finished->deleteLater();
                     });
}

} // namespace

Notifications::Notifications(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected = bus.isConnected();
    if (!m_connected)
        return;
    bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint)));
    askCapabilities();
}

void Notifications::askCapabilities()
{
    // Servers do not change what they can do while they run; one started after the tool (a
    // session whose notification daemon comes up late) is asked at the next notification.
    sendLater<QStringList>(call(QStringLiteral("GetCapabilities")), this,
                           [this](const QDBusPendingReply<QStringList>& reply) {
                               if (reply.isError())
                                   return;
                               m_capabilitiesKnown = true;
                               m_actions = reply.value().contains(QStringLiteral("actions"));
                               m_markup = reply.value().contains(QStringLiteral("body-markup"));
                           });
}

void Notifications::show(const QString& title, const QString& body, const QString& folder, bool fresh)
{
    m_folder = folder;
    if (m_waiting)
        m_next = Notice{title, body, fresh};
    else
        notify({title, body, fresh});
}

void Notifications::withdraw()
{
    if (m_waiting)
        m_next = Withdrawal();
    else
        close();
}

void Notifications::notify(const Notice& notice)
{
    if (!m_connected)
        return;
    if (!m_capabilitiesKnown)
        askCapabilities();
    // A fresh one while the last is still on screen replaces it: never two of them at once.
    const uint replaces = notice.fresh && !m_onScreen ? 0 : m_id;
    QStringList actions;
    if (m_actions)
        actions << QStringLiteral("default") << toQString(texts::noticeShowWindow) << QStringLiteral("open")
                << toQString(texts::menuOpenFolder);
    const QVariantMap hints{{QStringLiteral("category"), QStringLiteral("transfer.complete")},
                            {QStringLiteral("desktop-entry"), QStringLiteral("org.kelvoran.Kelvoran")}};
    QDBusMessage message = call(QStringLiteral("Notify"));
    // A server that reads markup would take a folder's "&" or "<" for it.
    message << toQString(texts::windowCaption) << replaces << QStringLiteral("kelvoran") << notice.title
            << (m_markup ? notice.body.toHtmlEscaped() : notice.body) << actions << hints << -1;
    m_waiting = true;
    sendLater<uint>(message, this, [this](const QDBusPendingReply<uint>& reply) {
        answered(reply.isError() ? std::nullopt : std::optional<uint>(reply.value()));
    });
}

std::optional<QDBusMessage> Notifications::takeClose()
{
    if (!m_connected || !m_onScreen)
        return std::nullopt;
    m_onScreen = false;
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << m_id;
    return message;
}

void Notifications::close()
{
    if (const std::optional<QDBusMessage> message = takeClose())
        sendLater<>(*message, this, [](const QDBusPendingReply<>&) {});
}

void Notifications::withdrawNow()
{
    if (const std::optional<QDBusMessage> message = takeClose())
        QDBusConnection::sessionBus().call(*message, QDBus::Block, 500);
}

void Notifications::answered(std::optional<uint> id)
{
    m_waiting = false;
    if (id) {
        m_id = *id;
        m_onScreen = true;
    }
    if (!m_next)
        return;
    const auto next = std::move(*m_next);
    m_next.reset();
    if (const auto* notice = std::get_if<Notice>(&next))
        notify(*notice);
    else
        close();
}

void Notifications::actionInvoked(uint id, const QString& action)
{
    if (id != m_id)
        return;
    if (action == u"default")
        emit windowWanted();
    else if (action == u"open")
        emit folderWanted(m_folder);
}

void Notifications::notificationClosed(uint id, uint reason)
{
    // Dismissed by the user (2) or closed on request (3). One that expired (1) may still be in
    // the server's history, saying 着信！: it is closed when the folder empties.
    if (id == m_id && (reason == 2 || reason == 3))
        m_onScreen = false;
}

} // namespace app
