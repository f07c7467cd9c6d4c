#pragma once

#include "engine/post/FogUniforms.h"
#include "engine/prefs/Vehicle.h"
#include "platform/gpu/GaussianBlur.h"

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace gloam::gpu {
class ComputePipeline;
class GpuDevice;
class GpuTexture;
} // namespace gloam::gpu

namespace gloam::render {
struct PostProcessContext;
}

namespace gloam {

// The scene's full-screen post-process: cyan highlight bloom and drifting
// volumetric ground fog over every rendered frame.
//
// Per frame, on the render thread (`process`): the vehicle's kernel
// "cyanHighlights" extracts the highlights
// into `bright`, a Gaussian blur softens them into `blurred`, and the
// kernel "groundMist" combines the frame, the blurred highlights, the depth
// buffer and the fog volume "FogDensity.r8" into the target. Until every
// resource is there, or while the scene is not shown, the frame is copied
// unchanged. On the renderer's software tier the blur runs on a half-size
// copy of the highlights; when the context asks for a quarter-size
// post-process (and the library has its kernels), the highlights, their
// blur and the fog are all made on a copy of half the frame's width and
// height ("cyanHighlightsQuarter", the blur, "groundMistQuarter"), and
// "groundMistUpsample" brings the fog and the bloom back up to every pixel,
// each pixel taking the fog made for its own side of a depth edge. A frame
// whose GPU work fails is reported once ("E4 BLOOM FAILED ") and later
// frames of that size are copied.
//
// The values shared with the main thread (pipelines, camera, atmosphere,
// scene visibility, warm-up counter) live behind one plain lock,
// `cameraLock_`; every critical section only copies values in or out.
// Textures, the blur and the fog volume belong to the render thread.
//
// Always owned through a shared pointer (see `create`): the warm-up's
// completion handlers hold it weakly.
class GhostBloom : public std::enable_shared_from_this<GhostBloom> {
public:
    // The compute pipelines of one vehicle's shader library: the two of
    // the full-size path, and the three of the quarter-size path when the
    // library has them.
    struct Pipelines {
        std::shared_ptr<const gpu::ComputePipeline> extract;         // kernel "cyanHighlights"
        std::shared_ptr<const gpu::ComputePipeline> composite;       // kernel "groundMist"
        std::shared_ptr<const gpu::ComputePipeline> quarterExtract;  // kernel "cyanHighlightsQuarter"
        std::shared_ptr<const gpu::ComputePipeline> quarterMist;     // kernel "groundMistQuarter"
        std::shared_ptr<const gpu::ComputePipeline> quarterUpsample; // kernel "groundMistUpsample"

        bool hasQuarterPath() const { return quarterExtract && quarterMist && quarterUpsample; }
    };

    // The guarded values `process` works from, copied out in one go.
    struct SharedValues {
        glm::mat4 cameraWorld{1.0f};
        glm::vec4 atmosphere{0.0f};
        float sceneVisibility = 1.0f;
    };

    // Where one-time and failure lines go; standard output by default.
    using LogSink = std::function<void(const std::string&)>;

    static constexpr const char* extractKernel = "cyanHighlights";
    static constexpr const char* compositeKernel = "groundMist";
    static constexpr const char* quarterExtractKernel = "cyanHighlightsQuarter";
    static constexpr const char* quarterMistKernel = "groundMistQuarter";
    static constexpr const char* quarterUpsampleKernel = "groundMistUpsample";
    static constexpr const char* fogVolumeDomain = "E4FogVolume";
    static constexpr int fogVolumeWrongLength = 1;
    static constexpr int fogVolumeTextureRefused = 2;
    static constexpr int warmupFrames = 6;

    // `resources`: the folder holding "FogDensity.r8".
    static std::shared_ptr<GhostBloom> create(std::filesystem::path resources, LogSink log = {});
    static std::shared_ptr<GhostBloom> create(); // in the scene's resource folder

    ~GhostBloom();
    GhostBloom(const GhostBloom&) = delete;
    GhostBloom& operator=(const GhostBloom&) = delete;

    // Main thread. Builds the vehicle's pipelines from its library in
    // `resources`. Throws gpu::GpuError: "HalloweenMetal" 1 without a GPU
    // device, "HalloweenMetal" 2 when a kernel is missing, and the library's
    // own load and compile errors unchanged.
    static Pipelines prepare(Vehicle vehicle, const std::filesystem::path& resources);
    static Pipelines prepare(Vehicle vehicle); // in the scene's resource folder

    // Main thread; each takes the lock for its write or read only.
    void select(const Pipelines& pipelines);
    void setCamera(const glm::mat4& cameraWorld);
    void setAtmosphere(float time, float flash, float pumpkins, float hover);
    void setSceneVisibility(float visibility);
    void beginSceneWarmup();
    bool sceneWarmed() const;
    int warmupRemaining() const;
    SharedValues sharedValues() const;

    // Render thread, once per rendered frame: always writes the context's
    // target colour texture, with the passes or with a plain copy.
    void process(const render::PostProcessContext& context);
    // Copies the source colour into the target colour on the frame's
    // command buffer.
    static void copyUnmodified(const render::PostProcessContext& context);

    // Render-thread state, for tests and tools.
    bool hasFogVolume() const { return fogMask_ != nullptr; }
    float blurSigma() const;

private:
    GhostBloom(std::filesystem::path resources, LogSink log);

    void rebuild(const render::PostProcessContext& context);
    bool makeImages(gpu::GpuDevice& device, bool quarter);
    void encodeFull(const render::PostProcessContext& context, const Pipelines& pipelines, const FogUniforms& uniforms);
    void encodeQuarter(const render::PostProcessContext& context, const Pipelines& pipelines,
                       const FogUniforms& uniforms);
    void loadFogVolume(gpu::GpuDevice& device);
    void countCompletedFrame();
    void frameFailed();
    static gpu::GaussianBlur::Size blurSize(const render::PostProcessContext& context);
    void log(const std::string& line) const;

    const std::filesystem::path resources_;
    const LogSink log_;

    // Render thread only. The images of each path are made when a frame
    // first takes it, and dropped when the frame's size changes.
    int width_ = 0; // the frame size the images and blurs are for
    int height_ = 0;
    std::shared_ptr<gpu::GpuTexture> bright_;
    std::shared_ptr<gpu::GpuTexture> blurred_;
    std::unique_ptr<gpu::GaussianBlur> blur_;
    std::shared_ptr<gpu::GpuTexture> quarterBright_;
    std::shared_ptr<gpu::GpuTexture> quarterBlurred_;
    std::shared_ptr<gpu::GpuTexture> quarterMist_;      // rgb light added, a transmittance
    std::shared_ptr<gpu::GpuTexture> quarterMistDepth_; // r the distance the mist was made for
    std::unique_ptr<gpu::GaussianBlur> quarterBlur_;
    std::shared_ptr<gpu::GpuTexture> fogMask_;
    bool reported_ = false;
    bool reportedFailure_ = false;
    bool passesFailed_ = false; // a frame's GPU work failed; copies until the size changes
    int failedWidth_ = 0;       // a size whose textures could not be made
    int failedHeight_ = 0;

    // Guarded by cameraLock_.
    mutable std::mutex cameraLock_;
    Pipelines pipelines_;
    glm::mat4 cameraWorld_{1.0f};
    glm::vec4 atmosphere_{0.0f};
    float sceneVisibility_ = 1.0f;
    int warmupRemaining_ = -1;
};

} // namespace gloam
