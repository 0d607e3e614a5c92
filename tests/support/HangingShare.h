#pragma once

#include <QProcess>
#include <QString>

// A folder on a FUSE file system whose listing hangs until released, and again once told to hang
// (support/HangingFolder.cpp), mounted at `mnt` in the working directory for the life of the
// object: `mnt/in` holds one file.
class HangingShare
{
public:
    HangingShare();
    ~HangingShare();
    HangingShare(const HangingShare&) = delete;
    HangingShare& operator=(const HangingShare&) = delete;

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    // From now on the share answers at once.
    void release() { m_process.write("\n"); }
    // From now on the share hangs again, until released.
    void hang() { m_process.write("hang\n"); }
    // How many listings of the folder have started so far.
    int listings();

private:
    QProcess m_process;
    bool m_mounted = false;
    int m_listings = 0;
};
