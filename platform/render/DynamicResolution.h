#pragma once

#include <algorithm>
#include <vector>

namespace gloam::render {

// The scale (0.5 to 1 of the output's pixel size) at which the scene and
// the post-process draw, chosen from measured frame costs so that a frame
// holds its budget. The presentation scales the picture up to the output;
// labels are drawn at the output's own size.
//
// A frame's cost drops roughly with the number of pixels (the square of
// the scale), so after each group of frames the scale moves by the square
// root of budget / median cost, a little under the budget, in steps of
// 1/20; it rises only once frames are well under the budget, so that it
// does not hunt between two steps. Disabled, the scale is 1.
class DynamicResolution {
public:
    // The floor at the window's size (1200 × 540); larger outputs keep the
    // same quality at a lower scale (floorFor). Never below lowestFloor.
    static constexpr float minimumScale = 0.5f;
    static constexpr float lowestFloor = 0.25f;
    static constexpr float maximumScale = 1.0f;
    static constexpr int framesPerDecision = 6;

    explicit DynamicResolution(double budgetMilliseconds = 1000.0 / 30.0);

    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    void setBudget(double milliseconds);
    double budget() const { return budget_; }

    // The cost of one frame drawn at the current scale.
    void addFrame(double milliseconds);
    float scale() const { return pinned_ > 0.0f ? pinned_ : enabled_ ? scale_ : maximumScale; }
    // A fixed scale whatever the costs (tools and benchmarks); 0 unpins.
    void pin(float scale) { pinned_ = scale > 0.0f ? std::clamp(scale, lowestFloor, maximumScale) : 0.0f; }
    // The lowest scale the costs may choose (clamped to lowestFloor to 1).
    void setFloor(float floor);
    float floor() const { return floor_; }
    // The floor for an output size: the lowest scale whose picture stays
    // within 30 dB PSNR of the full-size one (measured for the scene).
    static float floorFor(int outputWidth, int outputHeight);
    // Starts again from `scale` (clamped and rounded to a step).
    void reset(float scale = maximumScale);

    // The drawn size for an output size at this scale (at least 1 pixel).
    static int scaled(int pixels, float scale);

private:
    double budget_;
    float snapped(float scale) const;

    float scale_ = maximumScale;
    float floor_ = minimumScale;
    bool enabled_ = false;
    float pinned_ = 0.0f;
    bool skipNext_ = false;
    std::vector<double> samples_;
};

} // namespace gloam::render
