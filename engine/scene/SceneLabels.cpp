#include "engine/scene/SceneLabels.h"

#include "engine/scene/GhostView.h"
#include "engine/scene/StatusLabel.h"

namespace gloam {

void addSceneLabels(const GhostView& view, render::FramePacket& packet)
{
    const platform::Rect bounds = view.bounds();
    if (bounds.width <= 0.0F || bounds.height <= 0.0F) {
        return;
    }
    const auto add = [&](const StatusLabel& label) {
        if (label.hidden || label.text.empty()) {
            return;
        }
        const float x = (label.frame.x + label.frame.width / 2.0F) / bounds.width;
        const float y = 1.0F - (label.frame.y + label.frame.height / 2.0F) / bounds.height;
        packet.labels.push_back({label.text,
                                 {x, y},
                                 StatusLabel::fontSize,
                                 label.plate,
                                 {label.frame.width, label.frame.height},
                                 StatusLabel::backgroundAlpha,
                                 StatusLabel::cornerRadius});
    };
    add(view.statusLabel());
    if (view.failureLabel()) {
        add(*view.failureLabel());
    }
}

} // namespace gloam
