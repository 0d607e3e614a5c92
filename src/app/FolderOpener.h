#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QProcess;

namespace app {

// Opens a folder in the desktop's file manager through xdg-open, whose exit status tells whether
// it did (a handler that fails, none for folders, no xdg-open). Nothing waits on the window's
// thread. One at a time, as a share that does not answer could pile them up: a request while the
// last is under way is left out, for a while, since a file manager may be run in the opener's
// place until the user closes it; after that one more may start beside it, no more. The tool
// itself never opens what arrived.
class FolderOpener : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Openers still running are left to run: neither killed nor waited for at the tool's end.
    ~FolderOpener() override;
    FolderOpener(const FolderOpener&) = delete;
    FolderOpener& operator=(const FolderOpener&) = delete;

    void open(const QString& folder);
    // Shows the entry `name` selected in `folder` through the desktop's file manager
    // (org.freedesktop.FileManager1 on the session bus), or opens the folder where none answers.
    void showEntry(const QString& folder, const QString& name);

signals:
    // `reason` says why: no opener, no handler for folders, the handler failed, no such folder.
    void failed(const QString& folder, const QString& reason);

private:
    QProcess* m_running = nullptr; // started less than a while ago
    QList<QProcess*> m_live;       // not ended yet
};

} // namespace app
