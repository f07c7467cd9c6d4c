#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace gloam::installer {

// The files an install puts where the desktop's menus look: the desktop
// entries the package carries (share/applications), copied into
// ~/.local/share/applications with Exec and TryExec naming the installed
// programs by their full paths, and the app's icons (the resource folder's
// Icons/hicolor), copied into ~/.local/share/icons/hicolor.
class MenuFiles {
public:
    struct File {
        QString path; // where it goes
        QByteArray bytes;
        bool isIcon = false;
    };

    // `carriedTree` holds the package's files (staging, or the installed
    // tree); `installedAppDir` is where the programs are, or will be, installed.
    MenuFiles(QString carriedTree, QString installedAppDir, QString applicationsDir, QString iconThemeDir);

    // Every file, read from the carried tree; empty with `why` on failure.
    std::vector<File> files(QString* why = nullptr) const;

    // One entry's text with its Exec and TryExec pointing into bin/.
    QByteArray rewritten(const QByteArray& entry) const;

    // The folders that writing `files` would make, outermost first.
    static QStringList missingFolders(const std::vector<File>& files);
    // Writes one file whole (mode 0644), making its folder.
    static bool write(const File& file, QString* why);

private:
    QString carriedTree_;
    QString installedAppDir_;
    QString applicationsDir_;
    QString iconThemeDir_;
};

} // namespace gloam::installer
