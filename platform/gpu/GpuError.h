#pragma once

#include <stdexcept>
#include <string>

namespace gloam::gpu {

// A failure of the GPU layer, carrying an error domain and a numeric code
// so that callers can tell the kinds apart and log them as the scene does.
//
// Domains and codes made here:
//   "HalloweenMetal" 1  no GPU device (no OpenGL 4.5 context with compute)
//   "HalloweenMetal" 2  a kernel or surface function is not in its library
//   "GloamShaderLibrary" 1  the library file is missing or unreadable
//   "GloamShaderLibrary" 2  the GLSL of a pipeline does not compile or link
//   "GloamTexture" 1  a texture cannot be made (size or format refused)
//   "GloamTexture" 2  an upload does not fit the texture
class GpuError : public std::runtime_error {
public:
    GpuError(std::string domain, int code, const std::string& description);

    const std::string& domain() const noexcept { return domain_; }
    int code() const noexcept { return code_; }

    static constexpr const char* deviceDomain = "HalloweenMetal";
    static constexpr int noDevice = 1;
    static constexpr int missingFunction = 2;
    static constexpr const char* libraryDomain = "GloamShaderLibrary";
    static constexpr int unreadableLibrary = 1;
    static constexpr int compileFailed = 2;
    static constexpr const char* textureDomain = "GloamTexture";
    static constexpr int textureRefused = 1;
    static constexpr int uploadMismatch = 2;

private:
    std::string domain_;
    int code_;
};

} // namespace gloam::gpu
