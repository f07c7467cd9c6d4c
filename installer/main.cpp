// gloamyard-installer: installs Gloamyard for the current user from the
// package it carries. `gloamyard-installer --uninstall` removes it again.
#include "installer/GloamyardInstaller.h"
#include "installer/InstallerWindow.h"
#include "platform/async/TaskHandle.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>

#include <cstdio>
#include <cstring>

using gloam::installer::GloamyardInstaller;
using gloam::installer::InstallerEnvironment;

namespace {

int uninstall(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    GloamyardInstaller installer(InstallerEnvironment::fromProcess());
    int status = 1;
    auto job = [](GloamyardInstaller* owner, int* result) -> gloam::async::Task<void> {
        try {
            auto work = owner->uninstall();
            const QString done = co_await std::move(work);
            std::printf("%s\n", done.toUtf8().constData());
            *result = 0;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
        }
        QCoreApplication::quit();
    };
    gloam::async::spawn(job(&installer, &status));
    app.exec();
    return status;
}

// Gloamyard's icon for the window and its heading: the theme's once the
// app is installed, else the pictures shipped beside the installer (the
// build's resource folder or an installed icon theme folder).
QIcon productIcon()
{
    const QString share = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps/gloamyard.png").arg(size);
        for (const QString& base : {share + QStringLiteral("/gloamyard/Resources/Icons/hicolor/"),
                                    share + QStringLiteral("/icons/hicolor/")}) {
            if (QFileInfo::exists(base + folder)) {
                icon.addFile(base + folder, QSize(size, size));
                break;
            }
        }
    }
    return QIcon::fromTheme(QStringLiteral("gloamyard"), icon);
}

} // namespace

int main(int argc, char** argv)
{
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--uninstall") == 0) {
            return uninstall(argc, argv);
        }
        if (std::strcmp(argv[k], "--help") == 0) {
            std::printf("Usage: gloamyard-installer [--uninstall]\n"
                        "Installs Gloamyard and its XScreenSaver display mode for the current user;\n"
                        "--uninstall removes them again and keeps your Gloamyard settings.\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gloamyard-installer"));
    QApplication::setApplicationDisplayName(QStringLiteral("Install Gloamyard"));
    QApplication::setWindowIcon(productIcon());
    GloamyardInstaller installer(InstallerEnvironment::fromProcess());
    // Closing the window quits, except while an operation runs; so does a logout.
    QApplication::setQuitOnLastWindowClosed(installer.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&installer](QSessionManager& manager) {
        if (!installer.applicationShouldTerminate() && manager.allowsInteraction()) {
            manager.cancel();
        }
    });
    installer.applicationDidFinishLaunching();
    return app.exec();
}
