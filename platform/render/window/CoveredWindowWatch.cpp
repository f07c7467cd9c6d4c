#include "platform/render/window/CoveredWindowWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace gloam::render {

CoveredWindowWatch::CoveredWindowWatch(WId window, std::function<void(bool covered)> changed)
    : window_(window)
    , changed_(std::move(changed))
{
    auto* application = qGuiApp;
    auto* x11 = application ? application->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection == nullptr || window_ == 0)
        return;
    // Add visibility changes to what Qt already asked of this window.
    const auto id = static_cast<xcb_window_t>(window_);
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
    if (attributes == nullptr)
        return;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    QCoreApplication::instance()->installNativeEventFilter(this);
    watching_ = true;
}

CoveredWindowWatch::~CoveredWindowWatch()
{
    if (watching_ && QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool CoveredWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || message == nullptr)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    if (visibility->window != static_cast<xcb_window_t>(window_))
        return false;
    const bool covered = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (covered != covered_) {
        covered_ = covered;
        if (changed_)
            changed_(covered);
    }
    return false; // Qt may want it too
}

} // namespace gloam::render
