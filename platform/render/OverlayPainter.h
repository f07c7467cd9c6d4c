#pragma once

#include "platform/render/FramePacket.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace gloam::gpu {
class GlProgram;
}

namespace gloam::render {

// Draws the frame's labels over the presented picture: white text in the
// user-interface font (Inter, else DejaVu Sans), on a rounded translucent
// black plate or plain. Labels are rasterised once (FreeType) and kept as
// textures while they stay on screen. Render thread only.
class OverlayPainter {
public:
    OverlayPainter();
    ~OverlayPainter();
    OverlayPainter(const OverlayPainter&) = delete;
    OverlayPainter& operator=(const OverlayPainter&) = delete;

    void draw(const std::vector<OverlayLabel>& labels, unsigned framebuffer, int width, int height,
              float devicePixelRatio);

    // The label as premultiplied RGBA (display-encoded), top row first.
    struct Picture {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> rgba;
    };
    Picture rasterise(const OverlayLabel& label, float devicePixelRatio);

private:
    struct Face;
    struct Cached {
        unsigned texture = 0;
        int width = 0;
        int height = 0;
        std::uint64_t lastFrame = 0;
    };
    std::unique_ptr<Face> face_;
    std::unique_ptr<gpu::GlProgram> program_;
    // Text, point size, plate, box width and height, plate alpha, corner radius.
    std::map<std::tuple<std::string, int, bool, int, int, int, int>, Cached> cache_;
    unsigned vertexArray_ = 0;
    std::uint64_t frame_ = 0;
};

} // namespace gloam::render
