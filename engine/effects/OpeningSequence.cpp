#include "engine/effects/OpeningSequence.h"

namespace gloam {

OpeningSequence::OpeningSequence(const std::shared_ptr<platform::PerspectiveCamera>& camera)
    : root_(platform::Entity::make("OpeningSequence"))
{
    root_->setEnabled(false);
    camera->addChild(root_);
}

void OpeningSequence::layout(float aspect, float fieldOfView)
{
    aspect_ = aspect;
    fieldOfView_ = fieldOfView;
    seek(clock_.time);
}

void OpeningSequence::start()
{
    clock_.start();
    root_->setEnabled(true);
    seek(0.0);
}

void OpeningSequence::skip()
{
    clock_.skip();
    root_->setEnabled(false);
}

bool OpeningSequence::advance(double step)
{
    clock_.advance(step);
    if (!clock_.playing) {
        root_->setEnabled(false);
    }
    seek(clock_.time);
    return clock_.playing;
}

void OpeningSequence::seek(double /*time*/)
{
    // The layers are posed here once they are built.
}

} // namespace gloam
