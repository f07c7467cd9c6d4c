// gloamyard: the interactive app. One window with the Halloween scene, its
// controls and its sound bar.
#include "app/GhostApp.h"
#include "app/ResourceCheck.h"
#include "engine/export/SceneVideoExport.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/common/HalloweenResources.h"
#include "platform/audio/AudioDevice.h"

#include <QApplication>
#include <QMessageBox>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool hasValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt aborts with several lines when it cannot reach a display; say it in
// one line and end with an error status instead.
bool displayReachable()
{
    if (hasValue("QT_QPA_PLATFORM") || hasValue("WAYLAND_DISPLAY")) {
        return true;
    }
    if (!hasValue("DISPLAY")) {
        std::fprintf(stderr, "gloamyard: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it from a "
                             "desktop session\n");
        return false;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "gloamyard: cannot open the X display \"%s\"\n", std::getenv("DISPLAY"));
        return false;
    }
    XCloseDisplay(display);
    return true;
}

// Launched from a menu there is no terminal: a reason to stop goes to
// standard error and into a message box.
int cannotStart(const std::string& message)
{
    std::fprintf(stderr, "gloamyard: %s\n", message.c_str());
    QMessageBox::critical(nullptr, QStringLiteral("Gloamyard"), QString::fromStdString(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The video export needs no display: it renders headless and ends.
    if (gloam::VideoExportOptions::requested(argc, argv, "--export-video")) {
        return gloam::SceneVideoExport::main(argc, argv, "gloamyard", "--export-video");
    }
    // Answered before any display or scene work: the installer runs this to
    // check that an installed copy starts and is the version it carried.
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--version") {
            std::printf("Gloamyard %s\n", GLOAMYARD_VERSION);
            return 0;
        }
        if (argument == "--help") {
            std::printf("Usage: gloamyard [--version]\n"
                        "       gloamyard --export-video FILE.mp4 [options] (see gloamyard --export-video --help)\n"
                        "The Gloamyard app: the Halloween scene in a window, with its controls.\n");
            return 0;
        }
    }
    if (!displayReachable()) {
        return 1;
    }
    QApplication application(argc, argv);
    // No application display name: Qt would append it to every window
    // title ("Gloamyard · Loading Vantre… — Gloamyard"). The name alone is
    // what dialogs fall back to.
    QApplication::setApplicationName(QStringLiteral("Gloamyard"));
    QApplication::setApplicationVersion(QStringLiteral(GLOAMYARD_VERSION));
    QApplication::setOrganizationDomain(QStringLiteral("gloamyard.net"));
    QGuiApplication::setDesktopFileName(QStringLiteral("net.gloamyard.Gloamyard"));

    const std::filesystem::path programFolder = gloam::programDirectory();
    const std::filesystem::path resources =
        gloam::findResourceFolder(programFolder)
            .value_or((programFolder / ".." / "share" / "gloamyard" / "Resources").lexically_normal());
    if (const auto problem = gloam::app::ResourceCheck::problem(resources)) {
        return cannotStart(gloam::app::ResourceCheck::message(*problem));
    }
    if (const auto problem = gloam::GloamyardPreferences::openProblem()) {
        return cannotStart(*problem);
    }

    int status = 0;
    {
        gloam::app::GhostApp::Environment environment;
        environment.view.resources = resources;
        // For the timed launch (tools/app/launch-times.sh).
        environment.reportLaunchTimes = hasValue("GLOAMYARD_LAUNCH_TIMES");
        environment.quitOnSignals = true;
        environment.stuckQuitLimit = std::chrono::seconds(5);
        gloam::app::GhostApp app(std::move(environment));
        app.applicationDidFinishLaunching();
        status = QApplication::exec();
    }
    // The scene and its players are gone; a sound file still being decoded
    // finds the device closed and is dropped.
    gloam::platform::AudioDevice::closeShared();
    return status;
}
