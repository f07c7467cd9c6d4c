#include "app/GhostWindow.h"

#include "app/ControlRow.h"
#include "app/SceneHost.h"
#include "app/SoundBar.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QGuiApplication>
#include <QWindow>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gloam::app {

GhostWindow::GhostWindow(bool drawsScene, QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Gloamyard"));

    appMenu_ = menuBar()->addMenu(QStringLiteral("Gloamyard"));
    about_ = appMenu_->addAction(QStringLiteral("About Gloamyard"));
    about_->setMenuRole(QAction::AboutRole);
    appMenu_->addSeparator();
    help_ = appMenu_->addAction(QStringLiteral("How to use\u2026"));
    help_->setShortcuts({QKeySequence(QStringLiteral("Ctrl+?")), QKeySequence(Qt::Key_F1)});
    credits_ = appMenu_->addAction(QStringLiteral("Sound credits\u2026"));
    appMenu_->addSeparator();
    reduceFlashing_ = appMenu_->addAction(QStringLiteral("Reduce flashing"));
    reduceFlashing_->setCheckable(true);
    appMenu_->addSeparator();
    quit_ = appMenu_->addAction(QStringLiteral("Quit Gloamyard"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setMenuRole(QAction::QuitRole);

    auto* central = new QWidget(this);
    auto* stack = new QVBoxLayout(central);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    soundBar_ = new SoundBar(central);
    stack->addWidget(soundBar_);

    content_ = new QWidget(central);
    auto* layers = new QVBoxLayout(content_);
    layers->setContentsMargins(0, 0, 0, 0);
    layers->setSpacing(0);
    sceneHost_ = new SceneHost(drawsScene, static_cast<float>(ControlRow::rowHeight), content_);
    sceneHost_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layers->addWidget(sceneHost_, 1);
    controls_ = new ControlRow(content_);
    layers->addWidget(controls_);
    stack->addWidget(content_, 1);
    setCentralWidget(central);

    // The content starts at 1200 × 540, whatever the menu and bar take, or
    // as much of it as the screen holds.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QSize area = screen != nullptr ? screen->availableGeometry().size() : QSize();
    const QSize first = initialContentFor(area, chromeHeight(), 0);
    content_->setMinimumSize(minimumContentFor(area, chromeHeight(), 0));
    resize(first.width(), first.height() + chromeHeight());
    move(80, 100);
    makeDialogs();
}

namespace {

// `full` scaled down to fit `room` (never up), keeping its proportions.
QSize fitted(QSize full, QSize room)
{
    if (room.width() <= 0 || room.height() <= 0) {
        return full;
    }
    const double scale = std::min(
        {1.0, static_cast<double>(room.width()) / full.width(), static_cast<double>(room.height()) / full.height()});
    // A hair over the floor: 484 × (394 / 484) must give 394, not 393.
    return {static_cast<int>(std::floor(full.width() * scale + 1e-6)),
            static_cast<int>(std::floor(full.height() * scale + 1e-6))};
}

QSize roomFor(QSize available, int chromeHeight, int frameWidth)
{
    if (available.isEmpty()) {
        return {};
    }
    // However small the screen, a window of some size remains.
    return {std::max(available.width() - frameWidth, 320), std::max(available.height() - chromeHeight, 144)};
}

} // namespace

QSize GhostWindow::minimumContentFor(QSize available, int chromeHeight, int frameWidth)
{
    return fitted({minimumContentWidth, minimumContentHeight}, roomFor(available, chromeHeight, frameWidth));
}

QSize GhostWindow::initialContentFor(QSize available, int chromeHeight, int frameWidth)
{
    return fitted({contentWidth, contentHeight}, roomFor(available, chromeHeight, frameWidth));
}

int GhostWindow::chromeHeight() const
{
    return menuBar()->sizeHint().height() + SoundBar::barHeight;
}

void GhostWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (QWindow* handle = windowHandle(); handle != nullptr && !screenArea_) {
        connect(handle, &QWindow::screenChanged, this, &GhostWindow::followScreen);
        followScreen(handle->screen());
    }
}

void GhostWindow::followScreen(QScreen* screen)
{
    disconnect(screenArea_);
    if (screen != nullptr) {
        screenArea_ = connect(screen, &QScreen::availableGeometryChanged, this, &GhostWindow::fitScreen);
    }
    fitScreen();
}

void GhostWindow::fitScreen()
{
    QWindow* handle = windowHandle();
    QScreen* screen = handle != nullptr ? handle->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The frame is known once the window manager has framed the window.
    const QMargins frame = handle != nullptr ? handle->frameMargins() : QMargins();
    const QSize minimum =
        minimumContentFor(screen->availableGeometry().size(), chromeHeight() + frame.top() + frame.bottom(),
                          frame.left() + frame.right());
    if (content_->minimumSize() != minimum) {
        content_->setMinimumSize(minimum);
        keepAspect();
    }
}

void GhostWindow::makeDialogs()
{
    const auto sheet = [this](QDialog* dialog, const char* name) {
        dialog->setObjectName(QString::fromLatin1(name));
        dialog->setWindowModality(Qt::WindowModal);
        // The native window is made now, before the scene's renderer
        // starts: with Mesa's software GL on some X servers, windows first
        // made while it draws are never shown with their contents.
        dialog->winId();
    };
    helpBox_ = new QMessageBox(QMessageBox::Information, QStringLiteral("Gloamyard"),
                               QStringLiteral("Explore Gloamyard"), QMessageBox::Ok, this);
    sheet(helpBox_, "help");
    aboutBox_ =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Gloamyard"), QString(), QMessageBox::Ok, this);
    sheet(aboutBox_, "about");
    alertBox_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Gloamyard"), QString(), QMessageBox::Ok, this);
    sheet(alertBox_, "alert");

    creditsDialog_ = new QDialog(this);
    creditsDialog_->setWindowTitle(QStringLiteral("Sound credits"));
    auto* layout = new QVBoxLayout(creditsDialog_);
    creditsText_ = new QPlainTextEdit(creditsDialog_);
    creditsText_->setReadOnly(true);
    layout->addWidget(creditsText_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, creditsDialog_);
    connect(buttons, &QDialogButtonBox::rejected, creditsDialog_, &QDialog::reject);
    layout->addWidget(buttons);
    creditsDialog_->resize(560, 420);
    sheet(creditsDialog_, "credits");
}

void GhostWindow::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        if (onClose) {
            onClose();
        }
    }
    event->accept();
}

void GhostWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // After the layout has placed the content at its new size.
    QTimer::singleShot(0, this, [this] { keepAspect(); });
}

void GhostWindow::keepAspect()
{
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) != 0) {
        return;
    }
    const QSize now = content_->size();
    QSize wanted(now.width(),
                 static_cast<int>(std::lround(now.width() * static_cast<double>(contentHeight) / contentWidth)));
    const int minimumHeight = content_->minimumHeight();
    if (wanted.height() < minimumHeight) {
        // Narrower than the minimum height allows: widen instead.
        wanted = QSize(static_cast<int>(std::lround(minimumHeight * static_cast<double>(contentWidth) / contentHeight)),
                       minimumHeight);
    }
    if (std::abs(wanted.height() - now.height()) <= 1 && std::abs(wanted.width() - now.width()) <= 1) {
        lastCorrection_ = QSize();
        return;
    }
    // The window manager may refuse the size (tiling): ask once per size.
    const QSize target = size() + (wanted - now);
    if (target == lastCorrection_) {
        return;
    }
    lastCorrection_ = target;
    resize(target);
}

} // namespace gloam::app
