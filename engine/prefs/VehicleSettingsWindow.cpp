#include "engine/prefs/VehicleSettingsWindow.h"

namespace gloam {

VehicleSettingsWindow::VehicleSettingsWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , content_(new QWidget(this))
{
    // Closing only hides the window; its owner keeps it for the next time.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(contentWidth, contentHeight);
    content_->setGeometry(0, 0, contentWidth, contentHeight);
}

QWidget* VehicleSettingsWindow::takeContentView()
{
    QWidget* view = content_;
    content_ = nullptr;
    if (view != nullptr) {
        view->setParent(nullptr);
    }
    return view;
}

} // namespace gloam
