#pragma once

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace app {

// The arrival notification, through the desktop's notification server (org.freedesktop.
// Notifications on the session bus). Every call is asynchronous, so a slow server never holds
// the window; with no server, or no bus, nothing shows and nothing complains. Whether a
// notification may show now (do not disturb) is the server's business.
class Notifications : public QObject
{
    Q_OBJECT

public:
    explicit Notifications(QObject* parent = nullptr);

    // A fresh notification is raised anew, unless the last one is still on screen; any other
    // replaces the last one in place while the server shows it, and is left out once the server
    // closed it (shown again, it would pop up anew). The first waits for what the server can do.
    // `arrival`: it tells of an arrival, rather than a lost folder or a reminder.
    void show(const QString& title, const QString& body, const QString& folder, bool fresh, bool arrival = true);
    void withdraw();
    // A notification of its own, beside the arrival's, with no buttons; `unheard` is called
    // instead when no server takes it. `whileRunning`: it speaks of the running tool, and goes
    // with it.
    void tell(const QString& title, const QString& body, const std::function<void()>& unheard,
              bool whileRunning = false);
    // As the tool ends: the notification shown, or the one the server is numbering, is closed,
    // waiting a moment at most for the bus; nothing is shown after.
    void withdrawNow();

signals:
    // The user clicked the notification, or its button that opens the folder.
    void windowWanted();
    void folderWanted(const QString& folder);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    struct Notice
    {
        QString title;
        QString body;
        bool fresh = false;
        bool arrival = true;
    };
    struct Withdrawal
    {};

    using Request = std::variant<Notice, Withdrawal>;
    void request(Request next);
    // Carries out the next request, first asking the server what it can do where that is not
    // known and `mayAsk`.
    void proceed(bool mayAsk);
    void notify(const Notice& notice);
    [[nodiscard]] QDBusMessage notifyCall(const QString& title, const QString& body, uint replaces,
                                          const QStringList& actions, bool arrival) const;
    void close();
    // The request that closes the notification shown, which then counts as closed; none when
    // there is nothing to close.
    [[nodiscard]] std::optional<QDBusMessage> takeClose();
    void answered(std::optional<uint> id);
    void askCapabilities();

    bool m_connected = false;
    bool m_ended = false;
    bool m_capabilitiesKnown = false; // asked again at each notification until a server answers
    bool m_actions = false;
    bool m_markup = false;
    uint m_id = 0;           // the last notification the server numbered
    uint m_toldId = 0;       // the last one told that speaks of the running tool
    bool m_onScreen = false; // on screen or in the server's history: not yet closed
    bool m_open = false;     // on screen as far as the server told: not closed nor expired
    QString m_folder;
    // A request made while the server had not yet numbered the last one, or had not told what it
    // can do: carried out when it has.
    bool m_waiting = false;
    std::optional<Request> m_next;
    std::optional<QDBusPendingCall> m_numbering; // the Notify awaiting its number
};

} // namespace app
