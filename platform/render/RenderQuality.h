#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gloam::render {

// How much work a frame may cost. A GPU draws the scene at full quality; a
// software rasteriser (Mesa's llvmpipe, softpipe or swrast, which run every
// fragment on the CPU) gets the software tier, which gives up what costs
// most there and shows least: anisotropic filtering, the bloom and the fog
// at full size, the soft shadow filter, and full resolution when the frame
// would be late.
enum class QualityTier { full, software };

// What each tier does, and how it is chosen: from the GL renderer's name,
// unless the environment variable GLOAMYARD_QUALITY (or a tool's
// --quality option, which wins over it) says "full" or "software";
// "auto" is the default.
struct RenderQuality {
    static constexpr const char* environmentVariable = "GLOAMYARD_QUALITY";

    QualityTier tier = QualityTier::full;
    float maxAnisotropy = 4.0f;
    // The bloom's blur runs on a half-size copy of the highlights.
    bool halfSizeBlur = false;
    // The bloom and the fog are made on a quarter-size copy of the frame
    // (half its width and height) and brought back up per pixel, each pixel
    // taking the fog of its own side of a depth edge.
    bool quarterSizePost = false;
    // One bilinear comparison per shadowed pixel instead of four.
    bool singleShadowTap = false;
    // The shadow of the casters that hold still is kept from frame to
    // frame; only moving casters are drawn again (the picture is the same).
    bool keepStillShadows = true;
    // Each draw takes the few point lights that reach it as uniforms and
    // loops over exactly those; pixels read no light lists.
    bool perDrawLights = false;
    // Large meshes are drawn part by part: parts out of view are left out,
    // each part gets its own lights (the picture is the same).
    bool chunkLargeMeshes = false;
    // Meshes of many triangles are drawn from a lighter triangle list
    // over the same vertices (see LighterMesh).
    bool lighterMeshes = false;
    // Draws a few pixels wide are drawn as a small octahedron of their
    // bounds instead of their thousands of triangles.
    bool smallDrawStandIns = false;
    // A picture drawn below the output's size is tone mapped at its own
    // size and stretched to the output by a blit.
    bool presentByBlit = false;
    // The shadow map's side in texels.
    int shadowMapSize = 2048;
    // The scene and the post-process may draw below the output's size
    // (scale 0.5 to 1) to hold the frame budget.
    bool dynamicResolution = false;
    // The shortest time between two frames of a window, in milliseconds.
    double minimumFrameInterval = 1000.0 / 60.0;

    static RenderQuality of(QualityTier tier);

    // True for the names Mesa gives its software rasterisers.
    static bool isSoftwareRenderer(std::string_view rendererName);
    // "full", "software" or "auto" (none: choose from the renderer); any
    // other text is not a choice (false).
    static bool parse(std::string_view text, std::optional<QualityTier>& choice);
    // The tier for this renderer: `requested` if set, else the
    // environment's choice, else the renderer's. An environment value that
    // is not a choice is reported once on standard error and ignored.
    static QualityTier choose(std::string_view rendererName, std::optional<QualityTier> requested = std::nullopt);
    static QualityTier choose(std::string_view rendererName, std::optional<QualityTier> requested,
                              const char* environmentValue);

    static const char* name(QualityTier tier);
};

} // namespace gloam::render
