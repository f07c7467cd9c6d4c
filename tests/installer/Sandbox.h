#pragma once

#include "installer/GloamyardInstaller.h"
#include "installer/InstallerEnvironment.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <ostream>
#include <memory>
#include <vector>

namespace gloam::installer::test {

// A home folder and a folder of tools for one test. The tools are fakes
// that note every call in tools.log: pgrep answers with the process ids a
// test reports, ps says each belongs to the user (or the owner a test
// gives), xscreensaver-command and update-desktop-database only note their
// calls, and xscreensaver, xscreensaver-settings are copies of a fake
// program (so that their executables can be matched). The installer runs
// as user 1000 whoever runs the tests, from a copy of the built test
// package signed with a key made for this test program.
class Sandbox {
public:
    static constexpr uid_t user = 1000;

    Sandbox();
    ~Sandbox();

    QString root() const { return dir_.path(); }
    QString home() const { return root() + QStringLiteral("/home"); }
    QString bin() const { return root() + QStringLiteral("/bin"); }
    InstallerEnvironment environment;
    // The key the sandbox's packages are signed with.
    GloamyardInstaller::Trust trust;

    // A package the build made for the tests (not signed).
    static QString package(const char* name);
    // A copy of it in the sandbox, signed with the sandbox's key.
    QString signedCopy(const char* name) const;

    void writeTool(const QString& name, const QByteArray& script) const;
    void linkTool(const QString& name, const QString& target) const;
    void copyFakeProgram(const QString& name) const;
    void removeTool(const QString& name) const;

    // What the fake tools and programs noted.
    QString toolLog() const;
    QString programLog() const;

    // pgrep reports `pid` for processes named `name`.
    void reportProcess(const QString& name, qint64 pid) const;
    // ps reports `uid` as the owner of `pid`.
    void reportOwner(qint64 pid, uid_t uid) const;
    // Starts a program (a fake one, waiting until ended) and returns it.
    QProcess* start(const QString& program, const QStringList& arguments = {});

    static QByteArray read(const QString& path);
    static void write(const QString& path, const QByteArray& bytes);

    // Every path under `folder` with a hash of its contents ("dir" for folders).
    static std::map<QString, QString> snapshot(const QString& folder);

private:
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<QProcess>> started_;
};

// Clicks the installer's button and runs the event loop until it is idle again.
void clickAndWait(GloamyardInstaller& installer);
// Runs the event loop until `done` holds (or a generous guard against hangs ends it).
bool waitUntil(const std::function<bool()>& done);

} // namespace gloam::installer::test

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toStdString() << '"';
}
