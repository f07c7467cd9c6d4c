#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace gloam::gpu {
class GpuDevice;
}
namespace gloam::render {
struct FramePacket;
class FramePacketBuilder;
class HeadlessContext;
class OffscreenTarget;
class Renderer;
} // namespace gloam::render

namespace gloam {

class GhostView;

// Presents a scene view's frames without a display: an offscreen OpenGL
// context on the calling thread, the renderer and the view's post-process.
// Each `present` is what a window host does for one frame: the scene's
// update event (the view's frame update), a frame packet, the draw with
// the post-process, and the GPU completions. The render tool, the
// benchmark and the scene tests drive views with it.
class HeadlessSceneDriver {
public:
    // Throws std::runtime_error when no OpenGL 4.5 context can be made.
    HeadlessSceneDriver(int width, int height);
    ~HeadlessSceneDriver();
    HeadlessSceneDriver(const HeadlessSceneDriver&) = delete;
    HeadlessSceneDriver& operator=(const HeadlessSceneDriver&) = delete;

    // One frame. `step` is what the host passes to the scene's update event
    // (animations advance by it); the view takes its own step from its clock.
    void present(GhostView& view, double step);
    // Draws the last frame's packet again (with the renderer's current
    // quality), without a frame update: the same scene time, for comparing.
    void redraw();

    // The last presented frame: RGBA bytes, top row first.
    std::vector<std::uint8_t> readPixels() const;
    void writePng(const std::filesystem::path& file) const;

    int width() const { return width_; }
    int height() const { return height_; }
    const std::shared_ptr<gpu::GpuDevice>& device() const { return device_; }
    render::Renderer& renderer() { return *renderer_; }
    const render::FramePacketBuilder& packetBuilder() const { return *builder_; }

private:
    void draw();

    int width_;
    int height_;
    double time_ = 0;
    std::unique_ptr<render::HeadlessContext> context_;
    std::shared_ptr<gpu::GpuDevice> device_;
    std::unique_ptr<render::Renderer> renderer_;
    std::unique_ptr<render::OffscreenTarget> target_;
    std::unique_ptr<render::FramePacketBuilder> builder_;
    std::shared_ptr<const render::FramePacket> packet_;
};

} // namespace gloam
