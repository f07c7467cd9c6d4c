#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "forge/image/Image.h"
#include "forge/mesh/Mesh.h"

namespace tinygltf {
class Model;
}

namespace gloam::forge {

struct MaterialSpec {
    std::string name;
    glm::vec4 baseColor{1.0f};
    float roughness = 0.85f;
    float metallic = 0.0f;
    glm::vec3 emissive{0.0f};
    int baseColorTexture = -1; // from GltfBuilder::addTexture
    bool doubleSided = false;
    bool blend = false;
    // Whether primitives of this material carry tangents (for normal maps).
    bool tangents = true;
};

struct Transform {
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};
    glm::mat4 matrix() const;
};

struct Primitive {
    const Mesh* mesh;
    int material;
};

// Builds a glTF 2.0 binary file: named nodes in a hierarchy, meshes with one
// primitive per material, materials (metallic-roughness), textures stored
// as PNG inside the binary chunk, skins and animation clips. Every vertex
// stream carries positions, normals and uvs, and tangents unless its
// material has no use for them; indices are 16-bit where they fit.
class GltfBuilder {
public:
    GltfBuilder();
    ~GltfBuilder();
    GltfBuilder(const GltfBuilder&) = delete;
    GltfBuilder& operator=(const GltfBuilder&) = delete;

    int addTexture(const std::string& name, const Image& image, bool withAlpha = true);
    // Materials are shared by name: a second spec with the same name returns
    // the first material.
    int material(const MaterialSpec& spec);

    int addNode(const std::string& name, int parent = -1, const Transform& transform = {});
    void setMesh(int node, const std::string& name, const std::vector<Primitive>& primitives);
    // Convenience: a node with one mesh of one material.
    int addMeshNode(const std::string& name, int parent, const Mesh& mesh, int material,
                    const Transform& transform = {});

    int addSkin(const std::string& name, const std::vector<int>& joints,
                const std::vector<glm::mat4>& inverseBindMatrices, int skeletonRoot);
    void setSkin(int node, int skin);

    struct Channel {
        int node;
        std::string path; // "translation", "rotation" or "scale"
        std::vector<float> times;
        std::vector<glm::vec4> values; // xyz for translation and scale, xyzw for rotation
    };
    void addAnimation(const std::string& name, const std::vector<Channel>& channels);

    std::size_t triangleCount() const { return triangles_; }
    void write(const std::filesystem::path& path);

private:
    int addBufferView(const void* data, std::size_t size, int target);
    int addAccessor(const void* data, std::size_t count, int componentType, int type, int target,
                    std::size_t elementSize, const std::vector<double>& min = {}, const std::vector<double>& max = {});

    std::unique_ptr<tinygltf::Model> model_;
    std::map<std::string, int> materials_;
    std::vector<bool> materialTangents_;
    std::size_t triangles_ = 0;
};

} // namespace gloam::forge
