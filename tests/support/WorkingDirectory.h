#pragma once

#include "support/ByteString.h"

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder made the process's working directory for the life of the object;
// the previous working directory comes back afterwards.
class WorkingDirectory
{
public:
    WorkingDirectory();
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

    // The folder's path as bytes, and `name` inside it.
    [[nodiscard]] std::string path() const;
    [[nodiscard]] std::string path(const std::string& name) const;

private:
    QString m_previous;
    QTemporaryDir m_folder;
};

// Whole-file helpers for the byte-exact tests.
void writeBytes(const std::string& path, const std::string& bytes);
[[nodiscard]] std::string readBytes(const std::string& path);
