#include "support/WorkingDirectory.h"

#include <QDir>
#include <QFile>
#include <QTest>

WorkingDirectory::WorkingDirectory() : m_previous(QDir::currentPath())
{
    QVERIFY2(m_folder.isValid(), "temporary folder");
    QDir::setCurrent(m_folder.path());
}

WorkingDirectory::~WorkingDirectory()
{
    QDir::setCurrent(m_previous);
}

std::string WorkingDirectory::path() const
{
    return m_folder.path().toStdString();
}

std::string WorkingDirectory::path(const std::string& name) const
{
    return path() + '/' + name;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

std::string readBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}
