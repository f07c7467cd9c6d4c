#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace gloam::gpu {

// A shader library: one GLSL source file (".glsl") holding named compute
// kernels and surface functions. Each entry point is declared on a line of
// its own so that lookups by name need no compiler:
//
//     #pragma kernel cyanHighlights       // void cyanHighlights()
//     #pragma surface openingAtmosphere   // void openingAtmosphere(inout Surface s)
//
// Kernels run one invocation per pixel of the dispatched grid, in 8 × 8
// groups; `gl_GlobalInvocationID` is the pixel, invocations outside the
// grid never reach the kernel. Texture i of the encoder is sampler binding
// i and (colour formats) image binding i; bytes i are uniform block binding
// i (std140). While one kernel is compiled, `GLOAM_KERNEL_<name>` is
// defined, so declarations only one kernel needs can be fenced off.
// Unrecognised pragmas are ignored by GLSL, so the file stays plain GLSL.
class ShaderLibrary {
public:
    // Throws GpuError ("GloamShaderLibrary" 1) when the file cannot be read.
    static ShaderLibrary load(const std::filesystem::path& file);
    static ShaderLibrary fromSource(std::string name, std::string source);

    const std::string& name() const noexcept { return name_; }
    const std::string& source() const noexcept { return source_; }
    bool hasKernel(const std::string& function) const { return kernels_.count(function) != 0; }
    bool hasSurface(const std::string& function) const { return surfaces_.count(function) != 0; }
    const std::set<std::string>& kernels() const noexcept { return kernels_; }
    const std::set<std::string>& surfaces() const noexcept { return surfaces_; }

    // The full compute shader for one kernel. Throws GpuError
    // ("HalloweenMetal" 2) when the library declares no such kernel.
    std::string kernelSource(const std::string& function) const;
    // The library text for splicing into a fragment shader, with the
    // surface function renamed to the fixed entry `gloamSurface`. Throws
    // GpuError ("HalloweenMetal" 2) when there is no such surface function.
    std::string surfaceSource(const std::string& function) const;

private:
    std::string name_;
    std::string source_;
    std::set<std::string> kernels_;
    std::set<std::string> surfaces_;
};

} // namespace gloam::gpu
