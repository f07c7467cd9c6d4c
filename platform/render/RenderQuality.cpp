#include "platform/render/RenderQuality.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace gloam::render {

namespace {

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

} // namespace

RenderQuality RenderQuality::of(QualityTier tier)
{
    RenderQuality quality;
    quality.tier = tier;
    if (tier == QualityTier::software) {
        // llvmpipe runs anisotropic filtering as a per-pixel elliptical
        // loop; the ground, seen at a grazing angle, paid for it on every
        // pixel (six times the whole frame's cost) for a difference nobody
        // sees at night.
        quality.maxAnisotropy = 1.0f;
        quality.halfSizeBlur = true;
        quality.quarterSizePost = true;
        quality.singleShadowTap = true;
        // llvmpipe reads a light list per pixel lane; uniforms it reads once.
        quality.perDrawLights = true;
        // Triangles cost llvmpipe a fixed amount whatever their size.
        quality.chunkLargeMeshes = true;
        quality.smallDrawStandIns = true;
        quality.lighterMeshes = true;
        quality.presentByBlit = true;
        quality.shadowMapSize = 1024;
        quality.dynamicResolution = true;
        quality.minimumFrameInterval = 1000.0 / 30.0;
    }
    return quality;
}

bool RenderQuality::isSoftwareRenderer(std::string_view rendererName)
{
    const std::string name = lowered(rendererName);
    for (const char* software : {"llvmpipe", "softpipe", "swrast"}) {
        if (name.find(software) != std::string::npos)
            return true;
    }
    return false;
}

bool RenderQuality::parse(std::string_view text, std::optional<QualityTier>& choice)
{
    const std::string value = lowered(text);
    if (value == "full") {
        choice = QualityTier::full;
    } else if (value == "software") {
        choice = QualityTier::software;
    } else if (value == "auto" || value.empty()) {
        choice.reset();
    } else {
        return false;
    }
    return true;
}

QualityTier RenderQuality::choose(std::string_view rendererName, std::optional<QualityTier> requested)
{
    return choose(rendererName, requested, std::getenv(environmentVariable));
}

QualityTier RenderQuality::choose(std::string_view rendererName, std::optional<QualityTier> requested,
                                  const char* environmentValue)
{
    if (requested)
        return *requested;
    if (environmentValue != nullptr) {
        std::optional<QualityTier> fromEnvironment;
        if (parse(environmentValue, fromEnvironment)) {
            if (fromEnvironment)
                return *fromEnvironment;
        } else {
            static std::atomic<bool> reported{false};
            if (!reported.exchange(true)) {
                std::fprintf(stderr, "render: %s=%s is not full, software or auto; choosing from the renderer\n",
                             environmentVariable, environmentValue);
            }
        }
    }
    return isSoftwareRenderer(rendererName) ? QualityTier::software : QualityTier::full;
}

const char* RenderQuality::name(QualityTier tier)
{
    return tier == QualityTier::software ? "software" : "full";
}

} // namespace gloam::render
