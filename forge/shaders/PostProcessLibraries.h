#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace gloam::forge {

// The four vehicles' post-process shader libraries,
// "<vehicle>-ScenePostprocess.glsl": one kernel body shared by all
// (ScenePostprocessKernels.glsl beside this file) after a block of
// constants that gives each vehicle's scene its look. A fix to a kernel is
// made once, in the body.
std::string postProcessLibrary(std::string_view vehicle, const std::string& kernelBody);

// Writes the four libraries into the resource folder, reading the kernel
// body from `kernelBodyFile`.
void writePostProcessLibraries(const std::filesystem::path& resourceFolder,
                               const std::filesystem::path& kernelBodyFile);

} // namespace gloam::forge
