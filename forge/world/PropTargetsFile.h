#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

namespace gloam::forge {

// One clickable or reaction box of the scene ("PropTargets.json").
struct PropTargetRecord {
    std::string id;
    std::string kind;
    glm::vec3 centre;
    glm::vec3 size;
};

// The JSON text: an array of objects with exactly the keys "id", "kind",
// "center" and "size", in file order.
std::string propTargetsJson(const std::vector<PropTargetRecord>& targets);
void writePropTargets(const std::filesystem::path& path, const std::vector<PropTargetRecord>& targets);

} // namespace gloam::forge
