#include "app/Notifications.h"

#include "app/TextCodec.h"
#include "common/Texts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDeadlineTimer>
#include <QThread>
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
    // session whose notification daemon comes up late) is asked at the next notification. Until
    // the answer, a notification waits: sent before, it would lack its buttons and could break a
    // server that reads markup.
    m_waiting = true;
    sendLater<QStringList>(call(QStringLiteral("GetCapabilities")), this,
                           [this](const QDBusPendingReply<QStringList>& reply) {
                               if (m_ended)
                                   return;
                               m_waiting = false;
                               if (!reply.isError()) {
                                   m_capabilitiesKnown = true;
                                   m_actions = reply.value().contains(QStringLiteral("actions"));
                                   m_markup = reply.value().contains(QStringLiteral("body-markup"));
                               }
                               proceed(false);
                           });
}

void Notifications::show(const QString& title, const QString& body, const QString& folder, bool fresh, bool arrival)
{
    m_folder = folder;
    // An update must not take a waiting new one's place: that one would never be raised.
    const auto* waiting = m_next ? std::get_if<Notice>(&*m_next) : nullptr;
    request(Notice{title, body, fresh || (waiting != nullptr && waiting->fresh), arrival});
}

void Notifications::withdraw()
{
    request(Withdrawal());
}

void Notifications::request(Request next)
{
    if (!m_connected || m_ended)
        return;
    m_next = std::move(next);
    if (!m_waiting)
        proceed(true);
}

void Notifications::proceed(bool mayAsk)
{
    if (!m_next)
        return;
    if (mayAsk && !m_capabilitiesKnown && std::holds_alternative<Notice>(*m_next)) {
        askCapabilities();
        return;
    }
    const Request next = std::move(*m_next);
    m_next.reset();
    if (const auto* notice = std::get_if<Notice>(&next))
        notify(*notice);
    else
        close();
}

QDBusMessage Notifications::notifyCall(const QString& title, const QString& body, uint replaces,
                                       const QStringList& actions, bool arrival) const
{
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.kelvoran.Kelvoran")}};
    if (arrival)
        hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));
    QDBusMessage message = call(QStringLiteral("Notify"));
    // A server that reads markup would take a folder's "&" or "<" for it; where it is not known
    // whether the server does, a stray "&amp;" is the lesser harm.
    const bool escaped = m_markup || !m_capabilitiesKnown;
    message << toQString(texts::windowCaption) << replaces << QStringLiteral("kelvoran") << title
            << (escaped ? body.toHtmlEscaped() : body) << actions << hints << -1;
    return message;
}

void Notifications::notify(const Notice& notice)
{
    // Closed by the server, an update would pop up anew: the user has seen it, or let it go.
    if (!notice.fresh && !m_open)
        return;
    // A fresh one while the last is still on screen replaces it: never two of them at once.
    const uint replaces = m_onScreen ? m_id : 0;
    QStringList actions;
    if (m_actions)
        actions << QStringLiteral("default") << toQString(texts::noticeShowWindow) << QStringLiteral("open")
                << toQString(texts::menuOpenFolder);
    m_waiting = true;
    m_numbering = QDBusConnection::sessionBus().asyncCall(
        notifyCall(notice.title, notice.body, replaces, actions, notice.arrival));
    auto* watcher = new QDBusPendingCallWatcher(*m_numbering, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply(*finished);
        finished->deleteLater();
        if (!m_ended)
            answered(reply.isError() ? std::nullopt : std::optional<uint>(reply.value()));
    });
}

void Notifications::tell(const QString& title, const QString& body, const std::function<void()>& unheard,
                         bool whileRunning)
{
    if (m_ended)
        return;
    if (!m_connected) {
        unheard();
        return;
    }
    sendLater<uint>(notifyCall(title, body, 0, {}, false), this,
                    [this, unheard, whileRunning](const QDBusPendingReply<uint>& reply) {
                        if (reply.isError())
                            unheard();
                        else if (whileRunning)
                            m_toldId = reply.value();
                    });
}

std::optional<QDBusMessage> Notifications::takeClose()
{
    if (!m_connected || !m_onScreen)
        return std::nullopt;
    m_onScreen = m_open = false;
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
    m_ended = true;
    // The bus answers on a thread of its own, so the number comes while this one waits.
    if (m_numbering) {
        QDeadlineTimer deadline(1000);
        while (!m_numbering->isFinished() && !deadline.hasExpired())
            QThread::msleep(10);
        const QDBusPendingReply<uint> reply(*m_numbering);
        if (reply.isFinished() && !reply.isError()) {
            m_id = reply.value();
            m_onScreen = true;
        }
    }
    if (const std::optional<QDBusMessage> message = takeClose())
        QDBusConnection::sessionBus().call(*message, QDBus::Block, 500);
    if (m_connected && m_toldId != 0) {
        QDBusMessage message = call(QStringLiteral("CloseNotification"));
        message << m_toldId;
        QDBusConnection::sessionBus().call(message, QDBus::Block, 500);
    }
}

void Notifications::answered(std::optional<uint> id)
{
    m_waiting = false;
    m_numbering.reset();
    if (id) {
        m_id = *id;
        m_onScreen = m_open = true;
    }
    proceed(true);
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
    if (id != m_id)
        return;
    m_open = false;
    if (reason == 2 || reason == 3)
        m_onScreen = false;
}

} // namespace app
