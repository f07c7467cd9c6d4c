#pragma once

#include "platform/render/FramePacket.h"

namespace gloam {

class GhostView;

// Adds the view's status line and load-failure text to a frame packet as the
// renderer draws labels: centre in 0..1 with y down, the plate, its size and
// look from StatusLabel. Every window host of a scene view draws them alike.
void addSceneLabels(const GhostView& view, render::FramePacket& packet);

} // namespace gloam
