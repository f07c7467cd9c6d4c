#include "platform/render/Photometry.h"

#include <cmath>
#include <numbers>

namespace gloam::render {

float Photometry::exposure(float ev100)
{
    return 1.0f / (1.2f * std::exp2(ev100));
}

float Photometry::pointLightCandela(float lumens)
{
    return lumens / (4.0f * std::numbers::pi_v<float>);
}

} // namespace gloam::render
