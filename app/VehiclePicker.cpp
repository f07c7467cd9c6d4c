#include "app/VehiclePicker.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QWheelEvent>

namespace gloam::app {

VehiclePicker::VehiclePicker(QWidget* parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!browsing_) {
            emit chosen(index);
        }
    });
}

void VehiclePicker::showChosen(int index)
{
    chosen_ = index;
    setCurrentIndex(index);
}

void VehiclePicker::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        emit chosen(currentIndex());
        event->accept();
        return;
    }
    const QScopedValueRollback browsing(browsing_, true);
    QComboBox::keyPressEvent(event);
}

void VehiclePicker::wheelEvent(QWheelEvent* event)
{
    const QScopedValueRollback browsing(browsing_, true);
    QComboBox::wheelEvent(event);
}

void VehiclePicker::focusOutEvent(QFocusEvent* event)
{
    // The list taking the focus is part of choosing.
    if (event->reason() != Qt::PopupFocusReason && currentIndex() != chosen_) {
        setCurrentIndex(chosen_);
    }
    QComboBox::focusOutEvent(event);
}

} // namespace gloam::app
