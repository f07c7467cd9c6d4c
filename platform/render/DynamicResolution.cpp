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

float snapped(float scale)
{
    const float clamped = std::clamp(scale, DynamicResolution::minimumScale, DynamicResolution::maximumScale);
    return std::clamp(std::round(clamped / step) * step, DynamicResolution::minimumScale,
                      DynamicResolution::maximumScale);
}

} // namespace

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
