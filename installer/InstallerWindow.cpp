#include "installer/InstallerWindow.h"

#include <QCloseEvent>

namespace gloam::installer {

InstallerWindow::InstallerWindow(std::function<bool()> shouldClose)
    : shouldClose_(std::move(shouldClose))
{}

void InstallerWindow::closeEvent(QCloseEvent* event)
{
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace gloam::installer
