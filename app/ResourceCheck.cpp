#include "app/ResourceCheck.h"

#include "engine/prefs/Vehicle.h"
#include "resources/ResourceFiles.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <system_error>
#include <vector>

namespace gloam::app {

namespace {

namespace files = gloam::resources;

enum class Form { any, gltfBinary, fogVolume };

struct Required {
    std::filesystem::path name;
    Form form;
};

std::vector<Required> requiredFiles()
{
    std::vector<Required> list{
        {std::string(files::graveyardModel), Form::gltfBinary},
        {std::string(files::handModel), Form::gltfBinary},
        {std::string(files::propTargets), Form::any},
        {std::string(files::fogDensity), Form::fogVolume},
    };
    for (std::string_view model : files::vehicleModels) {
        list.push_back({std::string(model), Form::gltfBinary});
    }
    for (Vehicle vehicle : allVehicles) {
        list.push_back({effects(vehicle), Form::any});
    }
    return list;
}

bool startsWithGltfMagic(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::array<char, 4> magic{};
    return in.read(magic.data(), magic.size()) && magic == std::array<char, 4>{'g', 'l', 'T', 'F'};
}

} // namespace

std::optional<std::string> ResourceCheck::problem(const std::filesystem::path& folder)
{
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        return "The folder " + folder.string() + " is missing.";
    }
    for (const Required& required : requiredFiles()) {
        const std::filesystem::path file = folder / required.name;
        const auto size = std::filesystem::file_size(file, error);
        if (error || !std::filesystem::is_regular_file(file, error)) {
            return "The folder " + folder.string() + " is damaged: " + required.name.string() + " is missing.";
        }
        bool good = size > 0;
        if (good && required.form == Form::gltfBinary) {
            good = startsWithGltfMagic(file);
        } else if (good && required.form == Form::fogVolume) {
            good = size == static_cast<std::uintmax_t>(files::fogWidth) * files::fogHeight * files::fogDepth;
        }
        if (!good) {
            return "The folder " + folder.string() + " is damaged: " + required.name.string() + " is not readable.";
        }
    }
    return std::nullopt;
}

std::string ResourceCheck::message(const std::string& problem)
{
    return "Gloamyard cannot show its scene. " + problem +
           " Reinstall Gloamyard, or build the project again (the build makes this folder).";
}

} // namespace gloam::app
