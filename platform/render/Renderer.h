#pragma once

#include "platform/render/DynamicResolution.h"
#include "platform/render/EnvironmentLight.h"
#include "platform/render/FramePacket.h"
#include "platform/render/GpuResourceCache.h"
#include "platform/render/PostProcessContext.h"
#include "platform/render/RenderQuality.h"
#include "platform/render/StillShadowCasters.h"

#include <glm/mat4x4.hpp>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace gloam::gpu {
class GlProgram;
class GpuDevice;
class GpuTexture;
} // namespace gloam::gpu

namespace gloam::render {

class OverlayPainter;

// Draws frame packets with OpenGL 4.5 on the thread whose context is
// current (the render thread).
//
// One frame: shadow map of the first shadowed directional light → opaque
// draws → the transparent draws back to front → the post-process callback
// (or a plain copy) from the scene's colour and depth into the post target
// → tone mapping, anti-aliasing and display encoding into the output
// framebuffer (scaled up when the scene drew below the output's size) →
// the frame's labels over it, at the output's size.
// The frame's GPU work is one command buffer whose
// completion handlers say whether it succeeded.
//
// The quality tier is chosen from the GL renderer's name (see
// RenderQuality); on the software tier the scene's scale follows the
// frame costs the host reports (`frameFinished`).
class Renderer {
public:
    using PostProcess = std::function<void(const PostProcessContext&)>;
    // Directional lights beyond the main one that a frame lights with.
    static constexpr int maxExtraDirectionalLights = 3;
    // Point lights a draw can take as uniforms (software tier); a draw
    // reached by more reads the per-cluster lists.
    static constexpr int maxDrawLights = 8;
    // A draw narrower than this many pixels on screen is drawn as a small
    // octahedron of its bounds (software tier).
    static constexpr float standInPixels = 3.0f;

    struct Output {
        unsigned framebuffer = 0; // 0: the window's
        int width = 1;            // pixels
        int height = 1;
        float devicePixelRatio = 1.0f; // for overlay text size
    };

    // Wall-clock cost of each stage of the last frame, in milliseconds,
    // measured only while `setMeasuring(true)` (it waits for the GPU
    // between stages, which slows the frame).
    struct StageTimes {
        double shadow = 0, opaque = 0, transparent = 0, postProcess = 0, present = 0;
    };

    explicit Renderer(std::shared_ptr<gpu::GpuDevice> device);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void setPostProcess(PostProcess callback) { postProcess_ = std::move(callback); }
    void setMeasuring(bool on) { measuring_ = on; }

    void setQualityTier(QualityTier tier);
    // A tier's settings with some of them changed (benchmarks compare the
    // software tier's measures one by one).
    void setQuality(const RenderQuality& quality);
    const RenderQuality& quality() const { return quality_; }
    // The host's measure of the last frame's cost (process CPU time from
    // one presented frame to the next), which the scale follows.
    void frameFinished(double milliseconds) { resolution_.addFrame(milliseconds); }
    DynamicResolution& resolution() { return resolution_; }
    float renderScale() const { return resolution_.scale(); }
    // What the last frame drew after culling (tests and tools).
    struct DrawCounts {
        int drawn = 0, culled = 0, shadowCasters = 0, shadowCulled = 0;
        // Casters whose shadow came from the kept map of still casters.
        int shadowKept = 0;
        // Triangles drawn: the scene's, and the shadow maps' this frame.
        long triangles = 0, shadowTriangles = 0;
    };
    const DrawCounts& drawCounts() const { return counts_; }
    // The GL copies of meshes and pictures held now (render thread).
    GpuResourceCache::Stats resourceStats() const { return resources_->stats(); }
    const StageTimes& stageTimes() const { return times_; }
    // The same stages in CPU time of the whole process (a software GPU's
    // threads included), which other programs' load does not inflate.
    const StageTimes& stageCpuTimes() const { return cpuTimes_; }

    void render(const FramePacket& packet, const Output& output);

    // The last frame's targets (tests read them back).
    const std::shared_ptr<gpu::GpuTexture>& sceneColor() const { return sceneColor_; }
    const std::shared_ptr<gpu::GpuTexture>& sceneDepth() const { return sceneDepth_; }
    const std::shared_ptr<gpu::GpuTexture>& postTarget() const { return postTarget_; }
    const std::shared_ptr<gpu::GpuDevice>& device() const { return device_; }

    static glm::mat4 projection(const CameraRecord& camera, float aspect);

private:
    struct DrawProgram;
    const DrawProgram& drawProgram(std::uint32_t features, bool skinned, const MaterialValues& material);
    void ensureTargets(int width, int height);
    void makeShadowMap(int size);
    void renderShadow(const FramePacket& packet, const glm::mat4& lightMatrix, float depthBias);
    void drawShadowCasters(const std::vector<const DrawItem*>& casters, const glm::mat4& lightMatrix, float depthBias,
                           unsigned framebuffer, bool clear = true);
    void runPostProcess(const FramePacket& packet, const PostProcessContext& context);
    // Lists the point lights per cluster: 32 × 32 pixel screen tiles times
    // 16 exponential depth slices.
    void buildLightTiles(const std::vector<glm::vec4>& lights, const glm::mat4& view, const glm::mat4& viewProjection,
                         const CameraRecord& camera, int width, int height);
    void setDrawState(const DrawItem& item);
    // One draw call of a pass: an item (or its stand-in), the range of its
    // indices (indexCount -1: all), and the sphere its lights are picked for.
    struct PassDraw {
        const DrawItem* item = nullptr;
        int firstIndex = 0;
        int indexCount = -1;
        glm::vec3 centre{0.0f};
        float radius = 0.0f;
    };
    // A small octahedron in the bounds of a draw that covers a few pixels.
    const DrawItem& standInFor(const DrawItem& item);
    // The frame's point lights whose reach meets the draw's bounds, in
    // order, into `chosen` (two vec4 each); -1 when more than
    // maxDrawLights do.
    int pickDrawLights(const glm::vec3& centre, float radius, glm::vec4* chosen) const;
    // Uploads the `Draw` blocks of a pass in one buffer; draw i then binds
    // its range (see drawItems for why).
    void uploadDrawBlocks(const std::vector<PassDraw>& draws, bool transparent);
    void drawItems(const std::vector<PassDraw>& draws, bool transparent);
    void present(const Output& output);
    void ensureDisplayTarget(int width, int height);
    void mark(double& stage, double& cpuStage);

    std::shared_ptr<gpu::GpuDevice> device_;
    std::unique_ptr<GpuResourceCache> resources_;
    std::unique_ptr<OverlayPainter> overlay_;
    PostProcess postProcess_;
    std::map<std::tuple<std::uint32_t, bool, std::string>, std::unique_ptr<DrawProgram>> programs_;
    std::uint32_t frameFeatures_ = 0;
    std::map<std::string, bool> reportedFailures_;
    // The environment's irradiance, worked out once per picture.
    std::unordered_map<std::uint64_t, EnvironmentLight> environmentLights_;
    RenderQuality quality_;
    DynamicResolution resolution_;
    DrawCounts counts_;
    bool reportedPostProcessFailure_ = false;
    std::shared_ptr<gpu::GpuTexture> sceneColor_, sceneDepth_, postTarget_;
    unsigned sceneFramebuffer_ = 0;
    unsigned shadowMap_ = 0, shadowFramebuffer_ = 0;
    // The still casters' shadow, kept while they hold still; the frame's
    // map is a copy of it with the moving casters drawn over.
    unsigned keptShadowMap_ = 0, keptShadowFramebuffer_ = 0;
    unsigned sampledShadowMap_ = 0;
    // The tone-mapped picture at the drawn size, blitted up to the output.
    unsigned displayFramebuffer_ = 0, displayTexture_ = 0;
    int displayWidth_ = 0, displayHeight_ = 0;
    StillShadowCasters stillCasters_;
    unsigned emptyVertexArray_ = 0;
    unsigned pointLightBuffer_ = 0, jointBuffer_ = 0, lightTileBuffer_ = 0, lightIndexBuffer_ = 0;
    // A ring of buffers for the passes' draw blocks: one is written per pass,
    // and never one the rasteriser may still be reading.
    static constexpr int drawBlockBufferCount = 8;
    unsigned drawBlockBuffers_[drawBlockBufferCount] = {};
    int drawBlockRing_ = 0;
    std::size_t drawBlockStride_ = 0;
    std::vector<std::uint8_t> drawBlockStaging_;
    // This frame's point lights (two vec4 each), and per draw of the pass
    // the number picked for it (-1: the clusters').
    std::vector<glm::vec4> frameLights_;
    std::vector<int> drawLightCounts_;
    // This frame's stand-ins for draws that cover a few pixels.
    MeshPtr standInMesh_;
    std::deque<DrawItem> standIns_;
    int shadowSize_ = 2048;
    bool measuring_ = false;
    double stageStart_ = 0;
    StageTimes times_;
    StageTimes cpuTimes_;
    double stageCpuStart_ = 0;
    std::uint64_t frameNumber_ = 0;
};

} // namespace gloam::render
