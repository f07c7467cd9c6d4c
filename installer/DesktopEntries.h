#pragma once

#include <QString>
#include <QStringList>

namespace gloam::installer {

// The desktop entries the package carries (share/applications in the
// installed tree), registered for the user by a copy into
// ~/.local/share/applications whose Exec and TryExec name the installed
// programs by their full paths.
class DesktopEntries {
public:
    DesktopEntries(QString appDir, QString applicationsDir);

    // Copies every carried entry; returns the file names written, or sets `why`.
    QStringList install(QString* why) const;
    // Removes the named entries.
    void remove(const QStringList& names) const;

    // One entry's text with its Exec and TryExec pointing into bin/.
    QByteArray rewritten(const QByteArray& entry) const;

private:
    QString appDir_;
    QString applicationsDir_;
};

} // namespace gloam::installer
