#include "saver/GloamyardExtension.h"

#include "engine/common/HalloweenResources.h"
#include "platform/process/SignalPipe.h"
#include "platform/render/window/RenderWindow.h"
#include "saver/DisplayPowerWatch.h"
#include "saver/GloamyardConfiguration.h"
#include "saver/GloamyardNativeView.h"
#include "saver/GloamyardViewController.h"
#include "saver/SaverMonitor.h"
#include "saver/SaverProcessServices.h"
#include "saver/SaverSurface.h"
#include "saver/SystemSleepWatch.h"
#include "saver/X11HostWindow.h"
#include "saver/X11SessionWatch.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <X11/Xlib.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace gloam::saver {

namespace {

constexpr const char* program = "gloamyard-saver";

void fail(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

// Qt gets only the program's name: the options a display mode takes are
// the saver's to read, and Qt would act on some of them itself (-geometry,
// -display, -reverse, -title).
struct QtArguments {
    explicit QtArguments(char* programPath)
        : argv{programPath, nullptr}
    {}
    int argc = 1;
    char* argv[2];
};

bool canOpenDisplay()
{
    Display* probe = XOpenDisplay(nullptr);
    if (probe == nullptr) {
        return false;
    }
    XCloseDisplay(probe);
    return true;
}

std::string displayName()
{
    const char* name = XDisplayName(nullptr);
    return name != nullptr ? name : "";
}

std::vector<SaverMonitor> qtMonitors()
{
    std::vector<SaverMonitor> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        monitors.push_back({screen->geometry(), screen->devicePixelRatio()});
    }
    return monitors;
}

int lostServer(Display*)
{
    // Xlib must not get control back from here.
    static const char line[] = "gloamyard-saver: lost the connection to the X server\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line, sizeof line - 1);
    ::_exit(EXIT_FAILURE);
}

// Calls `changed` when a window of the saver's own is resized.
class ResizeFilter : public QObject {
public:
    explicit ResizeFilter(std::function<void()> changed)
        : changed_(std::move(changed))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && changed_) {
            changed_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> changed_;
};

} // namespace

int GloamyardExtension::main(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.emplace_back(argv[index]);
    }
    const SaverCommandLine commandLine = SaverCommandLine::parse(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (commandLine.error) {
        fail(*commandLine.error);
        std::fputs(SaverCommandLine::usage(), stderr);
        return 2;
    }
    if (commandLine.mode == SaverCommandLine::Mode::help) {
        std::fputs(SaverCommandLine::usage(), stdout);
        return 0;
    }
    if (const std::string warning = commandLine.ignoredWarning(); !warning.empty()) {
        fail(warning);
    }
    // Every connection of the process (Qt's and the saver's own) opens the
    // display DISPLAY names.
    if (commandLine.display) {
        ::setenv("DISPLAY", commandLine.display->c_str(), 1);
    }
    if (commandLine.mode == SaverCommandLine::Mode::configure) {
        return configure(argv[0]);
    }
    return draw(commandLine, argv[0]);
}

int GloamyardExtension::configure(char* programPath)
{
    const bool x11 = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                     (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "xcb");
    if (x11 && qEnvironmentVariableIsEmpty("DISPLAY")) {
        fail("no display to show the options on (DISPLAY is not set)");
        return 1;
    }
    // Qt would end the program with a core dump on a display it cannot open.
    if (x11 && !canOpenDisplay()) {
        fail("cannot open the X display " + displayName());
        return 1;
    }
    QtArguments qtArguments(programPath);
    QApplication app(qtArguments.argc, qtArguments.argv);
    // No application display name: Qt would append it to the sheet's title.

    // The sheet owns the panel once the panel is in its layout. Made first,
    // it goes last; the controller deletes only a panel no window holds, so
    // either order is safe.
    QDialog sheet(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    GloamyardConfiguration configuration;
    sheet.setWindowTitle(configuration.settings.window->windowTitle());
    auto* layout = new QVBoxLayout(&sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(configuration.view());
    sheet.setFixedSize(configuration.preferredContentSize());
    configuration.onSheetDidEnd = [&sheet] { sheet.accept(); };

    configuration.configureSheetWillPresent();
    sheet.show();
    QTimer::singleShot(0, &sheet, [&configuration] { configuration.viewDidAppear(); });
    sheet.exec();
    return 0;
}

int GloamyardExtension::draw(const SaverCommandLine& commandLine, char* programPath)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        fail("no X display to draw on (DISPLAY is not set)");
        return 1;
    }
    // The host's window (or the root) is an X window: draw through Qt's X11
    // platform whatever the session asks for (a Wayland session's
    // QT_QPA_PLATFORM=wayland cannot draw into it; XWayland can).
    const bool ownWindow = commandLine.mode == SaverCommandLine::Mode::ownWindow;
    if (commandLine.drawsIntoForeignWindow() || qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    // Qt would end the program with a core dump on a display it cannot open.
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && !canOpenDisplay()) {
        fail("cannot open the X display " + displayName());
        return 1;
    }

    QtArguments qtArguments(programPath);
    QApplication app(qtArguments.argc, qtArguments.argv);
    QApplication::setQuitOnLastWindowClosed(ownWindow);
    XSetIOErrorHandler(lostServer);

    std::unique_ptr<X11HostWindow> host;
    if (!ownWindow) {
        try {
            host = commandLine.mode == SaverCommandLine::Mode::root
                       ? X11HostWindow::desktop()
                       : std::make_unique<X11HostWindow>(commandLine.window);
        } catch (const X11HostWindow::Error& error) {
            fail(error.what());
            return 1;
        }
    }

    // Stops the program with a message when the resource folder is missing.
    halloweenResources();

    SaverProcessServices services;

    std::unique_ptr<render::RenderWindow> renderWindow;
    if (host) {
        // The host window's ConfigureNotify reaches X11HostWindow, which
        // resizes the render window: no polling.
        renderWindow = render::RenderWindow::embedded(host->id(), render::RenderWindow::ForeignSize::setByOwner);
        if (!renderWindow) {
            fail("cannot draw into the window " + X11HostWindow::describe(host->id()));
            return 1;
        }
        // The host ends the saver on any input; the saver takes none.
        renderWindow->setFlag(Qt::WindowTransparentForInput, true);
        if (commandLine.mode == SaverCommandLine::Mode::root) {
            // A child of the (virtual) root is a top-level window to a
            // window manager, which would frame and place it.
            host->keepAsBackground(renderWindow->winId());
        }
    } else {
        renderWindow = std::make_unique<render::RenderWindow>();
        renderWindow->setTitle(QStringLiteral("Gloamyard"));
        renderWindow->resize(1200, 540);
    }
    render::RenderWindow* drawn = renderWindow.get();
    renderWindow->onFailure = [](const std::string& reason) {
        fail(reason);
        QApplication::exit(1);
    };
    X11HostWindow* hostPointer = host.get();
    // The monitor the view is on: matched in native pixels for the host's
    // window; Qt knows the monitor of a window of the saver's own.
    std::function<QScreen*()> screen = [drawn, hostPointer]() -> QScreen* {
        if (hostPointer == nullptr) {
            return drawn->screen();
        }
        const auto found = SaverMonitor::find(hostPointer->rootGeometry(), qtMonitors());
        return found ? QGuiApplication::screens().at(static_cast<qsizetype>(*found)) : nullptr;
    };
    auto surface = std::make_shared<SaverSurface>(std::move(renderWindow), screen, host != nullptr);

    const auto frameSize = [drawn, hostPointer]() -> SaverSize {
        if (hostPointer == nullptr) {
            return {static_cast<double>(drawn->width()), static_cast<double>(drawn->height())};
        }
        const qreal ratio = drawn->devicePixelRatio();
        return {hostPointer->pixelSize().width() / ratio, hostPointer->pixelSize().height() / ratio};
    };

    auto controller = std::make_unique<GloamyardViewController>(services);
    GloamyardNativeView& view = *controller->view();
    view.setFrameSize(frameSize());
    // The scene is made only once the window draws: its opening needs the
    // render thread's GPU device, which starts when the window is first
    // exposed.
    drawn->onStarted = [&view, surface, hostPointer] {
        if (hostPointer == nullptr || hostPointer->mapped()) {
            view.moveToWindow(surface);
            view.layout();
        }
    };

    // XScreenSaver ends the mode with SIGTERM; a user at a terminal with
    // SIGINT. A second signal while the stop runs changes nothing.
    bool stopping = false;
    platform::SignalPipe signalPipe({SIGTERM, SIGINT});
    // Should the main thread be held up past the deadline (a long step of
    // the scene's loading), the claim still goes before the process does.
    signalPipe.endProcessAfter(std::chrono::milliseconds(stopDeadlineMs), EXIT_SUCCESS,
                               host ? host->claimReleaser() : std::function<void()>());
    QObject::connect(&signalPipe, &platform::SignalPipe::received, [&](int) {
        if (stopping) {
            return;
        }
        stopping = true;
        // First, while the window surely exists: the claim goes with a
        // clean exit, also one the deadline ends.
        if (hostPointer != nullptr) {
            hostPointer->releaseClaim();
        }
        view.stopAnimation();
        QApplication::exit(0);
    });

    // A view that found no monitor tries again whenever the monitors or the
    // window's place change.
    const auto relayout = [&view] { view.layout(); };
    const auto followScreen = [&app, relayout](QScreen* added) {
        QObject::connect(added, &QScreen::geometryChanged, &app, relayout);
    };
    for (QScreen* each : QGuiApplication::screens()) {
        followScreen(each);
    }
    QObject::connect(&app, &QGuiApplication::screenAdded, &app, [followScreen, relayout](QScreen* added) {
        followScreen(added);
        relayout();
    });
    QObject::connect(&app, &QGuiApplication::screenRemoved, &app, relayout);

    std::unique_ptr<ResizeFilter> resizeFilter;
    if (host) {
        host->onMapChanged = [&view, surface, drawn](bool mapped) {
            // Not drawing yet: shown, the window starts drawing and then
            // attaches the view.
            if (mapped && drawn->renderThread() == nullptr) {
                drawn->show();
                return;
            }
            view.moveToWindow(mapped ? surface : nullptr);
            if (mapped) {
                view.layout();
            }
        };
        host->onResized = [&view, drawn, frameSize](QSize pixels) {
            const qreal ratio = drawn->devicePixelRatio();
            drawn->resize(QSize(static_cast<int>(pixels.width() / ratio), static_cast<int>(pixels.height() / ratio)));
            view.setFrameSize(frameSize());
            view.layout();
        };
        host->onMoved = relayout;
        host->onDestroyed = [&view] {
            // Nothing is left to draw in; a destroyed window never comes back.
            view.moveToWindow(nullptr);
            QApplication::exit(0);
        };
        host->onReplaced = [&view, hostPointer] {
            // A newer saver process draws in this window now; this one has
            // nothing left to do (and must not come back on the next map).
            view.replacedByAnotherProcess();
            fail("another gloamyard-saver took over the window " + X11HostWindow::describe(hostPointer->id()));
            QApplication::exit(0);
        };
    } else {
        resizeFilter = std::make_unique<ResizeFilter>([&view, frameSize] {
            view.setFrameSize(frameSize());
            view.layout();
        });
        drawn->installEventFilter(resizeFilter.get());
        drawn->show();
    }

    X11SessionWatch session(
        [&services](const std::string& name, bool started) { services.notifications().postSession(name, started); });
    DisplayPowerWatch displayPower([&services](bool asleep) { services.notifications().postDisplay(asleep); });
    SystemSleepWatch systemSleep([&services](bool asleep) { services.notifications().postDisplay(asleep); });

    if (!host || host->mapped()) {
        if (drawn->renderThread() != nullptr) {
            view.moveToWindow(surface);
        } else {
            drawn->show();
        }
    }
    // Claimed once the render window exists: Mesa's GLX crashes in window
    // creation when the X server goes away under it, so the window a test or
    // an older process waits on is made first.
    if (host) {
        host->claim();
    }
    view.layout();
    view.startAnimation();

    const int result = QApplication::exec();
    if (!stopping) {
        // Ended by the window closing or going away: the same bounded stop.
        signalPipe.startDeadline();
        if (host) {
            host->releaseClaim();
        }
        view.stopAnimation();
    }
    drawn->onStarted = nullptr;
    if (resizeFilter) {
        drawn->removeEventFilter(resizeFilter.get());
    }
    if (host) {
        host->onMapChanged = nullptr;
        host->onResized = nullptr;
        host->onMoved = nullptr;
        host->onDestroyed = nullptr;
        host->onReplaced = nullptr;
    }
    // The controller drops the view: its records are written here.
    controller.reset();
    // The scene is stopped and every record is written. The windows and the
    // GL context go with the process; an orderly teardown would first wait
    // for the render thread to finish its frame, which on software GL can
    // take longer than XScreenSaver waits for a display mode to go.
    std::fflush(nullptr);
    ::_exit(result);
}

} // namespace gloam::saver
