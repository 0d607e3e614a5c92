#include "app/FolderOpener.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace app {

namespace {

// After this, an opener still running has shown the folder, or is stuck on it: another request
// starts one of its own.
constexpr int openerWaitMs = 10000;

} // namespace

void FolderOpener::open(const QString& folder)
{
    if (m_running != nullptr)
        return;
    auto* process = new QProcess(this);
    m_running = process;
    // A file manager run in xdg-open's place outlives the tool: no pipe of the tool's to write to.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const auto done = [this, process, folder](bool opened) {
        if (m_running == process)
            m_running = nullptr;
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
    QTimer::singleShot(openerWaitMs, process, [this, process] {
        if (m_running == process)
            m_running = nullptr;
    });
    // A relative folder is taken from the working directory, as the checks take it.
    process->start(QStringLiteral("xdg-open"), {QFileInfo(folder).absoluteFilePath()});
}

} // namespace app
