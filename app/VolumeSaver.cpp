#include "app/VolumeSaver.h"

namespace gloam::app {

VolumeSaver::VolumeSaver(Store store, QObject* parent)
    : QObject(parent)
    , store_(std::move(store))
{
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietMilliseconds);
    connect(&quiet_, &QTimer::timeout, this, &VolumeSaver::storePending);
    // One writer: the values land in the order they were set.
    writer_.setMaxThreadCount(1);
    writer_.setObjectName(QStringLiteral("gloamyard-volume"));
}

VolumeSaver::~VolumeSaver()
{
    flush();
}

void VolumeSaver::changed(float volume, bool dragging)
{
    pending_ = volume;
    if (dragging) {
        quiet_.stop(); // stored when the handle is let go
    } else {
        quiet_.start();
    }
}

void VolumeSaver::dragEnded(float volume)
{
    pending_ = volume;
    storePending();
}

void VolumeSaver::discardPending()
{
    quiet_.stop();
    pending_.reset();
}

void VolumeSaver::flush()
{
    storePending();
    writer_.waitForDone();
}

void VolumeSaver::storePending()
{
    quiet_.stop();
    if (!pending_) {
        return;
    }
    const float volume = *pending_;
    pending_.reset();
    writer_.start([store = store_, volume] { store(volume); });
}

} // namespace gloam::app
