#pragma once

// Reads a generated glTF binary back as the scene would see it: every node
// with its world transform, its own name, its effective name (the
// environment's naming rule) and the world bounds of its meshes.

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <tiny_gltf.h>

namespace gloam::forge::testing {

struct SceneNode {
    int index = -1;
    int parent = -1;
    std::string name;
    std::string effectiveName;
    glm::mat4 world{1.0f};
    bool hasMesh = false;
    glm::vec3 min{1e30f}, max{-1e30f}; // world bounds of this node's own mesh
    std::vector<std::string> materials;
    bool baseColourTextured = false;
};

class GltfScene {
public:
    explicit GltfScene(const std::filesystem::path& glb);

    const tinygltf::Model& model() const { return model_; }
    const std::vector<SceneNode>& nodes() const { return nodes_; }
    const SceneNode* find(const std::string& name) const;
    // World bounds of a node and all its descendants' meshes.
    void subtreeBounds(int index, glm::vec3& min, glm::vec3& max) const;
    std::size_t triangleCount() const;
    // World positions of every vertex of a node's own mesh.
    std::vector<glm::vec3> worldVertices(int index) const;
    // The corners of every triangle of a node's own mesh, in world space, in
    // the file's winding order (counter-clockwise is the front).
    std::vector<std::array<glm::vec3, 3>> worldTriangles(int index) const;

private:
    tinygltf::Model model_;
    std::vector<SceneNode> nodes_;
};

} // namespace gloam::forge::testing
