#include "support/HangingShare.h"

#include <QDir>

HangingShare::HangingShare()
{
    QDir().mkdir(QStringLiteral("mnt"));
    m_process.start(QStringLiteral(KV_HANGING_FOLDER), {QStringLiteral("mnt")});
    m_mounted = m_process.waitForReadyRead(5000) && m_process.readLine().trimmed() == "ready";
}

HangingShare::~HangingShare()
{
    release();
    m_process.terminate();
    m_process.waitForFinished(5000);
}

int HangingShare::listings()
{
    while (m_process.canReadLine())
        m_listings += m_process.readLine().trimmed() == "listing" ? 1 : 0;
    return m_listings;
}
