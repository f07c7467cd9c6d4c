#include "saver/SaverGhostScene.h"

#include "engine/scene/GhostView.h"

#include <malloc.h>

namespace gloam::saver {

namespace {

platform::Rect rect(SaverSize size)
{
    return {0.0F, 0.0F, static_cast<float>(size.width), static_cast<float>(size.height)};
}

} // namespace

SaverGhostScene::SaverGhostScene(SaverSize frame, Vehicle vehicle)
    : view_(GhostView::make(rect(frame), false, vehicle, SoundMode::saver))
{}

SaverGhostScene::~SaverGhostScene()
{
    view_->stop();
    view_.reset();
    // A scene's load and its night leave the allocator's heaps dotted with
    // free pages; a saver process may wait long for its next session, so
    // they go back to the system now rather than piling up over sessions.
    malloc_trim(0);
}

Vehicle SaverGhostScene::vehicle() const
{
    return view_->vehicle();
}

int SaverGhostScene::updateCount() const
{
    return view_->updateCount();
}

void SaverGhostScene::setFrame(SaverSize size)
{
    // Always: setting the frame also lays out the status label and the
    // camera, which a new view has not done yet.
    view_->setFrame(rect(size));
}

void SaverGhostScene::setOnReady(std::function<void()> callback)
{
    view_->onReady = std::move(callback);
}

void SaverGhostScene::refreshSoundPreferences()
{
    view_->sound().refreshPreferences();
}

void SaverGhostScene::allowSoundOutput(bool allowed)
{
    view_->sound().allowOutput(allowed);
}

void SaverGhostScene::startOpening()
{
    view_->startOpening();
}

void SaverGhostScene::stop()
{
    view_->stop();
}

} // namespace gloam::saver
