#pragma once

#include <QMainWindow>

#include <functional>

class QAction;
class QDialog;
class QMenu;
class QMessageBox;
class QPlainTextEdit;

namespace gloam::app {

class ControlRow;
class SceneHost;
class SoundBar;

// The app's one window: the "Gloamyard" menu on its menu bar, the sound bar
// under it, and the content (the scene above the control row). The content
// keeps the scene's 1200:540 proportions and is never smaller than
// 1000 × 484, or that scaled down to what the screen has room for (a
// 1366 × 768 screen at 150 % has 911 × 512 points, less its panels).
class GhostWindow : public QMainWindow {
public:
    static constexpr int contentWidth = 1200;
    static constexpr int contentHeight = 540;
    static constexpr int minimumContentWidth = 1000;
    static constexpr int minimumContentHeight = 484;

    // The content's minimum and its first size on a screen whose work area
    // is `available`, with `chromeHeight` of menu, bar and frame above and
    // `frameWidth` of frame beside it: the full sizes when they fit, else
    // scaled down, each keeping its proportions. An empty area leaves them.
    static QSize minimumContentFor(QSize available, int chromeHeight, int frameWidth);
    static QSize initialContentFor(QSize available, int chromeHeight, int frameWidth);

    // `drawsScene`: whether the scene host draws (false for tests).
    explicit GhostWindow(bool drawsScene, QWidget* parent = nullptr);

    QMenu* appMenu() const { return appMenu_; }
    QAction* aboutItem() const { return about_; }
    QAction* helpItem() const { return help_; }
    QAction* creditsItem() const { return credits_; }
    // "Reduce flashing": a checkable item, shared with the screen saver.
    QAction* reduceFlashingItem() const { return reduceFlashing_; }
    QAction* quitItem() const { return quit_; }
    SoundBar* soundBar() const { return soundBar_; }
    ControlRow* controls() const { return controls_; }
    SceneHost* sceneHost() const { return sceneHost_; }
    QWidget* content() const { return content_; }

    // The window's dialogs, shown window-modal and kept for reuse: the help,
    // the about box, the alert of a failed change and the credits viewer.
    QMessageBox* helpBox() const { return helpBox_; }
    QMessageBox* aboutBox() const { return aboutBox_; }
    QMessageBox* alertBox() const { return alertBox_; }
    QDialog* creditsDialog() const { return creditsDialog_; }
    QPlainTextEdit* creditsText() const { return creditsText_; }

    // Called when the window is about to close (before it does).
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void keepAspect();
    // Applies the minimum for the screen the window is on.
    void fitScreen();
    void followScreen(QScreen* screen);
    int chromeHeight() const;
    void makeDialogs();

    QMenu* appMenu_;
    QAction* about_;
    QAction* help_;
    QAction* credits_;
    QAction* reduceFlashing_;
    QAction* quit_;
    SoundBar* soundBar_;
    QWidget* content_;
    SceneHost* sceneHost_;
    ControlRow* controls_;
    QMessageBox* helpBox_ = nullptr;
    QMessageBox* aboutBox_ = nullptr;
    QMessageBox* alertBox_ = nullptr;
    QDialog* creditsDialog_ = nullptr;
    QPlainTextEdit* creditsText_ = nullptr;
    QSize lastCorrection_;
    QMetaObject::Connection screenArea_;
    bool closing_ = false;
};

} // namespace gloam::app
