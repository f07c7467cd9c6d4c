#include "platform/render/DynamicResolution.h"

#include <algorithm>
#include <cmath>

namespace gloam::render {

namespace {

constexpr float step = 0.05f;
// Aim a little under the budget, and rise only well under it.
constexpr double aim = 0.9;
constexpr double riseBelow = 0.7;
constexpr double fallAbove = 1.05;
// At most this much per decision, so one slow frame (a rebuild, another
// program's burst) cannot throw the picture to its coarsest.
constexpr float largestFall = 0.2f;
constexpr float largestRise = 0.1f;

} // namespace

float DynamicResolution::snapped(float scale) const
{
    const float clamped = std::clamp(scale, floor_, maximumScale);
    // A floor between two steps takes the place of the step nearest it.
    if (clamped < floor_ + step * 0.5f)
        return floor_;
    return std::clamp(std::round(clamped / step) * step, floor_, maximumScale);
}

void DynamicResolution::setFloor(float floor)
{
    floor_ = std::clamp(floor, lowestFloor, maximumScale);
    if (scale_ < floor_)
        scale_ = floor_;
}

float DynamicResolution::floorFor(int outputWidth, int outputHeight)
{
    // Measured against the full-size picture of the scene at three scene
    // times (lowest PSNR): 0.5 keeps 30.6 dB at 1200 × 540 (0.45 does
    // not). At 1920 × 1080 the figure is jagged, not falling steadily with
    // the scale: the fence's pickets and the windows' slats alias into
    // moiré at some sizes and not at others (1/3, 640 × 360: 30.4 dB;
    // 0.35: 30.4; 0.36: 26.8; 0.375: 30.6; 0.38: 28.9; 0.39: 26.7; 0.4:
    // 30.7). A taller picture keeps its quality at a lower scale: the
    // floor falls from 0.5 at 540 rows to 1/3 at 1080 rows, and never rises
    // above 0.5 for smaller outputs.
    (void)outputWidth;
    const double rows = std::max(outputHeight, 1);
    const auto floor = static_cast<float>(minimumScale * std::pow(540.0 / rows, std::log2(1.5)));
    return std::clamp(floor, lowestFloor, minimumScale);
}

DynamicResolution::DynamicResolution(double budgetMilliseconds)
    : budget_(std::max(budgetMilliseconds, 1.0))
{
    samples_.reserve(framesPerDecision);
}

void DynamicResolution::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    reset();
}

void DynamicResolution::setBudget(double milliseconds)
{
    budget_ = std::max(milliseconds, 1.0);
    samples_.clear();
}

void DynamicResolution::reset(float scale)
{
    scale_ = snapped(scale);
    samples_.clear();
    skipNext_ = false;
}

int DynamicResolution::scaled(int pixels, float scale)
{
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(pixels) * scale)));
}

void DynamicResolution::addFrame(double milliseconds)
{
    if (!enabled_ || !(milliseconds >= 0.0))
        return;
    // The first frame at a new scale also makes its targets: not typical.
    if (skipNext_) {
        skipNext_ = false;
        return;
    }
    samples_.push_back(milliseconds);
    if (static_cast<int>(samples_.size()) < framesPerDecision)
        return;
    std::nth_element(samples_.begin(), samples_.begin() + framesPerDecision / 2, samples_.end());
    const double median = std::max(samples_[framesPerDecision / 2], 1e-3);
    samples_.clear();

    float wanted = scale_;
    if (median > budget_ * fallAbove) {
        const auto ideal = static_cast<float>(scale_ * std::sqrt(budget_ * aim / median));
        wanted = std::max(ideal, scale_ - largestFall);
        wanted = std::floor(wanted / step + 1e-3f) * step;
    } else if (median < budget_ * riseBelow) {
        const auto ideal = static_cast<float>(scale_ * std::sqrt(budget_ * aim / median));
        wanted = std::min(ideal, scale_ + largestRise);
        wanted = std::floor(wanted / step + 1e-3f) * step;
    }
    wanted = snapped(wanted);
    if (wanted != scale_) {
        scale_ = wanted;
        skipNext_ = true;
    }
}

} // namespace gloam::render
