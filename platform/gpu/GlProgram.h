#pragma once

#include <utility>

#include <string>
#include <vector>

namespace gloam::gpu {

// One linked OpenGL program object, made from GLSL sources on the thread
// whose context is current. Compile and link failures throw GpuError
// ("GloamShaderLibrary" 2) with the driver's log and the stage's name.
class GlProgram {
public:
    struct Stage {
        unsigned type; // GL_VERTEX_SHADER, GL_FRAGMENT_SHADER, GL_COMPUTE_SHADER
        std::string source;
    };

    GlProgram() = default;
    GlProgram(const std::string& label, const std::vector<Stage>& stages);
    ~GlProgram();
    GlProgram(GlProgram&& other) noexcept;
    GlProgram& operator=(GlProgram&& other) noexcept;
    GlProgram(const GlProgram&) = delete;
    GlProgram& operator=(const GlProgram&) = delete;

    unsigned id() const noexcept { return id_; }
    // Gives up ownership: the caller deletes the program (on the context
    // thread) or, when that thread is gone, lets it go with its context.
    unsigned release() noexcept { return std::exchange(id_, 0u); }
    explicit operator bool() const noexcept { return id_ != 0; }
    int uniform(const char* name) const;

private:
    unsigned id_ = 0;
};

} // namespace gloam::gpu
