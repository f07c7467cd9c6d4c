#pragma once

#include <QString>

namespace gloam::installer {

// The installed tree and its neighbours. A new tree is unpacked into a
// staging folder beside the installed one ("." + name + ".staging-XXXXXX")
// and swapped into place in one step, so the installed path always holds a
// whole tree: the old one until the new one is complete and checked, then the
// new one.
class InstallTree {
public:
    // How the new tree takes the old one's place: one atomic exchange where
    // the file system offers it, else two renames.
    enum class Swap { exchange, twoRenames };

    explicit InstallTree(QString path, Swap swap = Swap::exchange);

    const QString& path() const { return path_; }
    bool exists() const;

    // After an install that was interrupted: staging folders are removed, and
    // a previous tree set aside by the two-rename swap is put back.
    void recover() const;

    // A new empty staging folder, or empty with `why` on failure.
    QString makeStaging(QString* why) const;
    static void discard(const QString& staging);

    // Puts `staging` in place of the installed tree (or creates it) and
    // removes the old tree.
    bool replaceWith(const QString& staging, QString* why) const;

    bool remove(QString* why) const;

    // Removes a folder and everything in it without following a symbolic
    // link anywhere: a link is removed as a link, never what it points to,
    // and `path` itself, when a link, is only unlinked.
    static bool removeFolder(const QString& path, QString* why = nullptr);

private:
    QString sidePath(const char* kind) const;

    QString path_;
    Swap swap_;
};

} // namespace gloam::installer
