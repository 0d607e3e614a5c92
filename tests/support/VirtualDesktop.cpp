#include "support/VirtualDesktop.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>

void VirtualDesktop::start()
{
    for (const char* tool : {"Xvfb", "xprop", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
    }
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(m_xvfb.waitForStarted());
    QVERIFY(waitFor([&] { return m_xvfb.canReadLine() || m_xvfb.waitForReadyRead(100); }, 10000));
    m_display = QStringLiteral(":") + QString::fromLatin1(m_xvfb.readLine()).trimmed();
    if (!QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
        m_windowManager.setProcessEnvironment(environment());
        m_windowManager.start(QStringLiteral("openbox"), {});
        QTest::qWait(500);
    }
}

void VirtualDesktop::stop()
{
    m_windowManager.kill();
    m_windowManager.waitForFinished();
    m_xvfb.terminate();
    m_xvfb.waitForFinished();
}

QProcessEnvironment VirtualDesktop::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // On the virtual display, also when the tests run on a Wayland desktop.
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // No session bus unless a test brings its own: without an address D-Bus would start a bus
    // daemon for each new display (and leave it running).
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/kelvoran-test-bus"));
    return env;
}

QString VirtualDesktop::run(const QString& program, const QStringList& arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QStringList VirtualDesktop::windows(const QStringList& search, const QString& type) const
{
    QStringList found;
    const QString ids = xdotool(QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} + search);
    for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts)) {
        if (property(id, "_NET_WM_WINDOW_TYPE").contains(QStringLiteral("_NET_WM_WINDOW_TYPE_") + type))
            found << id;
    }
    return found;
}

QString VirtualDesktop::property(const QString& window, const char* name) const
{
    const QString line = run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QString::fromLatin1(name)});
    if (line.endsWith(QStringLiteral("not found.")) || line.contains(QStringLiteral("no such atom")))
        return {};
    const qsizetype first = line.indexOf(u'"');
    if (first >= 0)
        return line.mid(first + 1, line.lastIndexOf(u'"') - first - 1);
    // Other properties: what follows "NAME(TYPE) =" or "NAME(TYPE):".
    const qsizetype end = line.indexOf(u')');
    return line.mid(end + 2).trimmed();
}

bool VirtualDesktop::waitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}
