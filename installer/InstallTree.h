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
    explicit InstallTree(QString path);

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

private:
    QString sidePath(const char* kind) const;

    QString path_;
};

} // namespace gloam::installer
