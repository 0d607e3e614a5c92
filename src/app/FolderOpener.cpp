#include "app/FolderOpener.h"

#include "app/TextCodec.h"
#include "common/Texts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <string>
#include <utility>

namespace app {

namespace {

// After this, an opener still running has shown the folder, or is stuck on it: another request
// starts one of its own, up to this many alive at once (xdg-open hangs on a share that does not
// answer).
constexpr int openerWaitMs = 10000;
constexpr qsizetype mostLive = 2;

// Why xdg-open did not open the folder, by its exit status.
std::string reasonFor(int exitCode)
{
    switch (exitCode) {
    case 2:
        return std::string(texts::openFolderNotFolder);
    case 3:
        return std::string(texts::openFolderNoHandler);
    case 4:
        return std::string(texts::openFolderHandlerFailed);
    default:
        return std::string(texts::openFolderOpenerFailed) + std::to_string(exitCode);
    }
}

} // namespace

FolderOpener::~FolderOpener()
{
    // A QProcess deleted while its program runs kills it and waits up to 30 s on this thread.
    for (QProcess* process : std::as_const(m_live)) {
        process->disconnect(this);
        process->setParent(nullptr);
    }
}

void FolderOpener::open(const QString& folder)
{
    if (m_running != nullptr || m_live.size() >= mostLive)
        return;
    auto* process = new QProcess(this);
    m_running = process;
    m_live.append(process);
    // A file manager run in xdg-open's place outlives the tool: no pipe of the tool's to write to.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const auto done = [this, process, folder](const std::optional<std::string>& failure) {
        if (m_running == process)
            m_running = nullptr;
        m_live.removeOne(process);
        process->deleteLater();
        if (failure)
            emit failed(folder, toQString(*failure));
    };
    connect(process, &QProcess::finished, this, [done](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit)
            done(std::string(texts::openFolderOpenerFailed) + std::to_string(exitCode));
        else
            done(exitCode == 0 ? std::nullopt : std::optional(reasonFor(exitCode)));
    });
    connect(process, &QProcess::errorOccurred, this, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(std::string(texts::openFolderNoOpener));
    });
    // The process's own, and to this object: it ends with either.
    auto* young = new QTimer(process);
    young->setSingleShot(true);
    connect(young, &QTimer::timeout, this, [this, process] {
        if (m_running == process)
            m_running = nullptr;
    });
    young->start(openerWaitMs);
    // A relative folder is taken from the working directory, as the checks take it. The trailing
    // separator lets only a folder answer to the name, never a file that took its place.
    QString path = QFileInfo(folder).absoluteFilePath();
    if (!path.endsWith(u'/'))
        path += u'/';
    process->start(QStringLiteral("xdg-open"), {path});
}

void FolderOpener::showEntry(const QString& folder, const QString& name)
{
    // Asked without waiting: the file manager may take its time on a share that does not answer.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    const QString path = QDir(QFileInfo(folder).absoluteFilePath()).filePath(name);
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, folder](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (finished->isError())
            open(folder);
    });
}

} // namespace app
