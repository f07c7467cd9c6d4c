#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace gloam::platform {

// A named surface function of a shader library. A shader library is a GLSL
// source file holding one or more functions; the renderer compiles the
// named one into the material's fragment stage.
struct SurfaceShader {
    std::string functionName;
    std::filesystem::path libraryFile;
    std::shared_ptr<const std::string> librarySource;

    bool operator==(const SurfaceShader&) const = default;

    // Reads the library and checks that it defines `functionName`; throws
    // std::runtime_error naming the file otherwise.
    static SurfaceShader load(const std::filesystem::path& libraryFile, const std::string& functionName);
};

} // namespace gloam::platform
