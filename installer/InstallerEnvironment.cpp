#include "installer/InstallerEnvironment.h"

#include "installer/InstallerIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace gloam::installer {

InstallerEnvironment InstallerEnvironment::fromProcess()
{
    InstallerEnvironment env;
    env.uid = getuid();
    env.euid = geteuid();
    env.gid = getgid();
    env.egid = getegid();
    env.pid = getpid();
    env.processEnvironment = QProcessEnvironment::systemEnvironment();
    const QString home = env.processEnvironment.value(QStringLiteral("HOME"));
    if (QDir::isAbsolutePath(home)) {
        env.home = QDir::cleanPath(home);
        const QString data = env.processEnvironment.value(QStringLiteral("XDG_DATA_HOME"));
        env.dataHome = QDir::isAbsolutePath(data) ? QDir::cleanPath(data) : env.home + QStringLiteral("/.local/share");
    }
    env.toolPath = env.processEnvironment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts);
    // Where X looks for a program's default resources: the user's folder
    // first, then the system's.
    const QString resources = env.processEnvironment.value(QStringLiteral("XAPPLRESDIR"));
    if (QDir::isAbsolutePath(resources)) {
        env.xscreensaverDefaults.prepend(QDir(resources).filePath(QStringLiteral("XScreenSaver")));
    }
    // The package sits in the installer's own share folder, beside bin/.
    env.packagePath = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                      QStringLiteral("/../share/gloamyard-installer/Install Gloamyard.pkg"));
    return env;
}

QString InstallerEnvironment::appDir() const
{
    return dataHome.isEmpty() ? QString() : dataHome + u'/' + QString::fromLatin1(InstallerIdentity::appID);
}

QString InstallerEnvironment::appProgram() const
{
    return appDir() + QStringLiteral("/bin/gloamyard");
}

QString InstallerEnvironment::saverProgram() const
{
    return appDir() + QStringLiteral("/bin/gloamyard-saver");
}

QString InstallerEnvironment::applicationsDir() const
{
    return dataHome.isEmpty() ? QString() : dataHome + QStringLiteral("/applications");
}

QString InstallerEnvironment::iconThemeDir() const
{
    return dataHome.isEmpty() ? QString() : dataHome + QStringLiteral("/icons/hicolor");
}

QString InstallerEnvironment::xscreensaverFile() const
{
    return home.isEmpty() ? QString() : home + QStringLiteral("/.xscreensaver");
}

QString InstallerEnvironment::lockPath() const
{
    return dataHome.isEmpty() ? QString()
                              : dataHome + QStringLiteral("/.") + QString::fromLatin1(InstallerIdentity::appID) +
                                    QStringLiteral(".lock");
}

QString InstallerEnvironment::findTool(const QString& name) const
{
    for (const QString& folder : toolPath) {
        const QFileInfo candidate(QDir(folder).filePath(name));
        if (candidate.isFile() && candidate.isExecutable()) {
            return candidate.absoluteFilePath();
        }
    }
    return {};
}

QProcessEnvironment InstallerEnvironment::toolEnvironment() const
{
    QProcessEnvironment variables = processEnvironment;
    variables.insert(QStringLiteral("PATH"), toolPath.join(u':'));
    if (!home.isEmpty()) {
        variables.insert(QStringLiteral("HOME"), home);
    }
    return variables;
}

} // namespace gloam::installer
