#include "support/HelperProcess.h"

#include <unistd.h>

void startHelper(QProcess& process, const QStringList& arguments, bool asNobody)
{
    if (asNobody && ::geteuid() == 0) {
        process.start(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), QStringLiteral(KV_TEST_HELPER)} +
                          arguments);
    } else {
        process.start(QStringLiteral(KV_TEST_HELPER), arguments);
    }
}

QString runHelper(const QStringList& arguments, bool asNobody)
{
    QProcess process;
    startHelper(process, arguments, asNobody);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
