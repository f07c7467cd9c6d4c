#pragma once

#include <glm/vec3.hpp>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace gloam {

// One clickable or reaction region of the scene: a named box with a kind
// ("pumpkin", "grave"), read from PropTargets.json.
struct PropTarget {
    std::string id;
    std::string kind;
    std::vector<float> center; // at least three numbers; the first three count
    std::vector<float> size;   // full extents along x, y and z

    glm::vec3 position() const { return {center[0], center[1], center[2]}; }
    glm::vec3 dimensions() const { return {size[0], size[1], size[2]}; }
    // The name of the target's hit entity.
    std::string hitName() const { return "Reaction_" + id; }

    // A file that cannot be read or is not a valid list of targets. The
    // message says which element and key is wrong.
    class DecodingError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // Decodes the whole list; any missing key, wrong type, syntax error or
    // vector of fewer than three numbers rejects it all.
    static std::vector<PropTarget> decodeList(std::string_view json);
    static std::vector<PropTarget> loadList(const std::filesystem::path& file);
};

} // namespace gloam
