#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace gloam::forge {

// One writer of resource files: given the resource folder, it writes its
// files into it (and may create subfolders such as "Audio"). Steps are
// independent and deterministic; the forge runs them in list order.
struct ForgeStep {
    std::string name;
    std::function<void(const std::filesystem::path& resourceFolder)> write;
};

using ForgeSteps = std::vector<ForgeStep>;

} // namespace gloam::forge
