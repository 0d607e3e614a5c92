#include "app/FolderOpener.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <utility>

namespace app {

namespace {

// After this, an opener still running has shown the folder, or is stuck on it: another request
// starts one of its own, up to this many alive at once (xdg-open hangs on a share that does not
// answer).
constexpr int openerWaitMs = 10000;
constexpr qsizetype mostLive = 2;

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
    const auto done = [this, process, folder](bool opened) {
        if (m_running == process)
            m_running = nullptr;
        m_live.removeOne(process);
        process->deleteLater();
        if (!opened)
            emit failed(folder);
    };
    connect(process, &QProcess::finished, this, [done](int exitCode, QProcess::ExitStatus status) {
        done(status == QProcess::NormalExit && exitCode == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false);
    });
    // The process's own, and to this object: it ends with either.
    auto* young = new QTimer(process);
    young->setSingleShot(true);
    connect(young, &QTimer::timeout, this, [this, process] {
        if (m_running == process)
            m_running = nullptr;
    });
    young->start(openerWaitMs);
    // A relative folder is taken from the working directory, as the checks take it.
    process->start(QStringLiteral("xdg-open"), {QFileInfo(folder).absoluteFilePath()});
}

} // namespace app
