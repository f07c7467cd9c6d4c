#include "tests/forge/GltfScene.h"

#include <functional>
#include <stdexcept>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "resources/SceneNames.h"

namespace gloam::forge::testing {

namespace {

glm::mat4 local(const tinygltf::Node& n)
{
    glm::vec3 t(0.0f), s(1.0f);
    glm::quat r(1, 0, 0, 0);
    if (n.translation.size() == 3)
        t = {n.translation[0], n.translation[1], n.translation[2]};
    if (n.rotation.size() == 4)
        r = glm::quat(static_cast<float>(n.rotation[3]), static_cast<float>(n.rotation[0]),
                      static_cast<float>(n.rotation[1]), static_cast<float>(n.rotation[2]));
    if (n.scale.size() == 3)
        s = {n.scale[0], n.scale[1], n.scale[2]};
    return glm::translate(glm::mat4(1.0f), t) * glm::mat4_cast(r) * glm::scale(glm::mat4(1.0f), s);
}

} // namespace

GltfScene::GltfScene(const std::filesystem::path& glb)
{
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (!loader.LoadBinaryFromFile(&model_, &error, &warning, glb.string())) {
        throw std::runtime_error("cannot load " + glb.string() + ": " + error);
    }
    nodes_.resize(model_.nodes.size());
    std::function<void(int, int, const glm::mat4&, const std::string&)> walk = [&](int i, int parent,
                                                                                   const glm::mat4& m,
                                                                                   const std::string& inherited) {
        const tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(i)];
        SceneNode& node = nodes_[static_cast<std::size_t>(i)];
        node.index = i;
        node.parent = parent;
        node.name = n.name;
        node.effectiveName = n.name.rfind(scene_names::envPrefix, 0) == 0 ? n.name : inherited;
        node.world = m * local(n);
        if (n.mesh >= 0) {
            node.hasMesh = true;
            for (const tinygltf::Primitive& p : model_.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
                const tinygltf::Accessor& a = model_.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))];
                const tinygltf::BufferView& view = model_.bufferViews[static_cast<std::size_t>(a.bufferView)];
                const auto* data = reinterpret_cast<const float*>(
                    model_.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset + a.byteOffset);
                std::size_t stride = view.byteStride ? view.byteStride / sizeof(float) : 3;
                for (std::size_t v = 0; v < a.count; ++v) {
                    glm::vec3 w(node.world *
                                glm::vec4(data[v * stride], data[v * stride + 1], data[v * stride + 2], 1.0f));
                    node.min = glm::min(node.min, w);
                    node.max = glm::max(node.max, w);
                }
                if (p.material >= 0) {
                    const tinygltf::Material& mat = model_.materials[static_cast<std::size_t>(p.material)];
                    node.materials.push_back(mat.name);
                    node.baseColourTextured =
                        node.baseColourTextured || mat.pbrMetallicRoughness.baseColorTexture.index >= 0;
                }
            }
        }
        for (int c : n.children) {
            walk(c, i, node.world, node.effectiveName);
        }
    };
    for (int root : model_.scenes.at(0).nodes) {
        walk(root, -1, glm::mat4(1.0f), "");
    }
}

const SceneNode* GltfScene::find(const std::string& name) const
{
    for (const SceneNode& n : nodes_) {
        if (n.name == name) {
            return &n;
        }
    }
    return nullptr;
}

void GltfScene::subtreeBounds(int index, glm::vec3& min, glm::vec3& max) const
{
    const SceneNode& n = nodes_[static_cast<std::size_t>(index)];
    if (n.hasMesh) {
        min = glm::min(min, n.min);
        max = glm::max(max, n.max);
    }
    for (int c : model_.nodes[static_cast<std::size_t>(index)].children) {
        subtreeBounds(c, min, max);
    }
}

std::vector<glm::vec3> GltfScene::worldVertices(int index) const
{
    std::vector<glm::vec3> out;
    const tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(index)];
    if (n.mesh < 0)
        return out;
    for (const tinygltf::Primitive& p : model_.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
        const tinygltf::Accessor& a = model_.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))];
        const tinygltf::BufferView& view = model_.bufferViews[static_cast<std::size_t>(a.bufferView)];
        const auto* data = reinterpret_cast<const float*>(
            model_.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset + a.byteOffset);
        std::size_t stride = view.byteStride ? view.byteStride / sizeof(float) : 3;
        for (std::size_t v = 0; v < a.count; ++v) {
            out.emplace_back(nodes_[static_cast<std::size_t>(index)].world *
                             glm::vec4(data[v * stride], data[v * stride + 1], data[v * stride + 2], 1.0f));
        }
    }
    return out;
}

std::vector<std::array<glm::vec3, 3>> GltfScene::worldTriangles(int index) const
{
    std::vector<std::array<glm::vec3, 3>> out;
    const tinygltf::Node& n = model_.nodes[static_cast<std::size_t>(index)];
    if (n.mesh < 0)
        return out;
    const std::vector<glm::vec3> vertices = worldVertices(index);
    std::size_t base = 0;
    for (const tinygltf::Primitive& p : model_.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
        const tinygltf::Accessor& a = model_.accessors[static_cast<std::size_t>(p.indices)];
        const tinygltf::BufferView& view = model_.bufferViews[static_cast<std::size_t>(a.bufferView)];
        const unsigned char* bytes =
            model_.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset + a.byteOffset;
        auto indexAt = [&](std::size_t i) -> std::size_t {
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                return bytes[i];
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                return reinterpret_cast<const std::uint16_t*>(bytes)[i];
            default:
                return reinterpret_cast<const std::uint32_t*>(bytes)[i];
            }
        };
        for (std::size_t t = 0; t + 2 < a.count; t += 3) {
            out.push_back(
                {vertices[base + indexAt(t)], vertices[base + indexAt(t + 1)], vertices[base + indexAt(t + 2)]});
        }
        base += model_.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))].count;
    }
    return out;
}

std::size_t GltfScene::triangleCount() const
{
    std::size_t count = 0;
    for (const tinygltf::Node& n : model_.nodes) {
        if (n.mesh < 0)
            continue;
        for (const tinygltf::Primitive& p : model_.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
            count += model_.accessors[static_cast<std::size_t>(p.indices)].count / 3;
        }
    }
    return count;
}

} // namespace gloam::forge::testing
