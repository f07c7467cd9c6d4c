// Feeds arbitrary text to the shader-library parser and asks for the
// source of every kernel and surface function it declares.

#include "platform/gpu/GpuError.h"
#include "platform/gpu/ShaderLibrary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto library =
        gloam::gpu::ShaderLibrary::fromSource("fuzz.glsl", std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& kernel : library.kernels()) {
        if (library.kernelSource(kernel).find(library.source()) == std::string::npos) {
            std::abort();
        }
    }
    for (const auto& surface : library.surfaces()) {
        (void)library.surfaceSource(surface);
    }
    try {
        (void)library.kernelSource("");
        std::abort(); // an empty name is never a kernel
    } catch (const gloam::gpu::GpuError&) {
    }
    return 0;
}
