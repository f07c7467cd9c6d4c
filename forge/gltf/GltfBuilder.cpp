#include <cmath>
#include <stdexcept>
#include "forge/gltf/GltfBuilder.h"

#include <cstring>
#include <stdexcept>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <tiny_gltf.h>

namespace gloam::forge {

namespace {

std::vector<glm::vec4> computeTangents(const Mesh& mesh)
{
    std::size_t n = mesh.vertices.size();
    std::vector<glm::vec3> tan(n, glm::vec3(0.0f)), bit(n, glm::vec3(0.0f));
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        std::uint32_t ia = mesh.indices[i], ib = mesh.indices[i + 1], ic = mesh.indices[i + 2];
        const Vertex &a = mesh.vertices[ia], &b = mesh.vertices[ib], &c = mesh.vertices[ic];
        glm::vec3 e1 = b.position - a.position, e2 = c.position - a.position;
        glm::vec2 d1 = b.uv - a.uv, d2 = c.uv - a.uv;
        float det = d1.x * d2.y - d2.x * d1.y;
        if (std::abs(det) < 1e-12f) {
            continue;
        }
        float r = 1.0f / det;
        glm::vec3 t = (e1 * d2.y - e2 * d1.y) * r;
        glm::vec3 bt = (e2 * d1.x - e1 * d2.x) * r;
        for (std::uint32_t k : {ia, ib, ic}) {
            tan[k] += t;
            bit[k] += bt;
        }
    }
    std::vector<glm::vec4> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec3 nrm = mesh.vertices[i].normal;
        glm::vec3 t = tan[i] - nrm * glm::dot(nrm, tan[i]);
        if (glm::length(t) < 1e-8f) {
            glm::vec3 axis = std::abs(nrm.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
            t = glm::cross(nrm, axis);
            t = glm::cross(t, nrm);
        }
        t = glm::normalize(t);
        // glTF uvs run downwards, so the bitangent follows -v.
        float w = glm::dot(glm::cross(nrm, t), bit[i]) < 0.0f ? -1.0f : 1.0f;
        out[i] = glm::vec4(t, w);
    }
    return out;
}

} // namespace

glm::mat4 Transform::matrix() const
{
    return glm::translate(glm::mat4(1.0f), translation) * glm::mat4_cast(rotation) * glm::scale(glm::mat4(1.0f), scale);
}

GltfBuilder::GltfBuilder()
    : model_(std::make_unique<tinygltf::Model>())
{
    model_->asset.version = "2.0";
    model_->asset.generator = "gloamyard-forge";
    model_->buffers.emplace_back();
    model_->scenes.emplace_back();
    model_->scenes[0].name = "Scene";
    model_->defaultScene = 0;
    tinygltf::Sampler sampler;
    sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
    sampler.wrapS = TINYGLTF_TEXTURE_WRAP_REPEAT;
    sampler.wrapT = TINYGLTF_TEXTURE_WRAP_REPEAT;
    model_->samplers.push_back(sampler);
}

GltfBuilder::~GltfBuilder() = default;

int GltfBuilder::addBufferView(const void* data, std::size_t size, int target)
{
    std::vector<unsigned char>& bytes = model_->buffers[0].data;
    while (bytes.size() % 4 != 0) {
        bytes.push_back(0);
    }
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = bytes.size();
    view.byteLength = size;
    view.target = target;
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), begin, begin + size);
    model_->bufferViews.push_back(view);
    return static_cast<int>(model_->bufferViews.size() - 1);
}

int GltfBuilder::addAccessor(const void* data, std::size_t count, int componentType, int type, int target,
                             std::size_t elementSize, const std::vector<double>& min, const std::vector<double>& max)
{
    tinygltf::Accessor accessor;
    accessor.bufferView = addBufferView(data, count * elementSize, target);
    accessor.byteOffset = 0;
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    accessor.minValues = min;
    accessor.maxValues = max;
    model_->accessors.push_back(accessor);
    return static_cast<int>(model_->accessors.size() - 1);
}

int GltfBuilder::addTexture(const std::string& name, const Image& image, bool withAlpha)
{
    std::vector<std::uint8_t> png = image.encodePng(withAlpha);
    tinygltf::Image img;
    img.name = name;
    img.mimeType = "image/png";
    img.bufferView = addBufferView(png.data(), png.size(), 0);
    model_->images.push_back(img);
    tinygltf::Texture texture;
    texture.name = name;
    texture.sampler = 0;
    texture.source = static_cast<int>(model_->images.size() - 1);
    model_->textures.push_back(texture);
    return static_cast<int>(model_->textures.size() - 1);
}

int GltfBuilder::material(const MaterialSpec& spec)
{
    auto found = materials_.find(spec.name);
    if (found != materials_.end()) {
        return found->second;
    }
    tinygltf::Material m;
    m.name = spec.name;
    m.pbrMetallicRoughness.baseColorFactor = {spec.baseColor.r, spec.baseColor.g, spec.baseColor.b, spec.baseColor.a};
    m.pbrMetallicRoughness.roughnessFactor = spec.roughness;
    m.pbrMetallicRoughness.metallicFactor = spec.metallic;
    m.pbrMetallicRoughness.baseColorTexture.index = spec.baseColorTexture;
    m.emissiveFactor = {spec.emissive.r, spec.emissive.g, spec.emissive.b};
    m.doubleSided = spec.doubleSided;
    m.alphaMode = spec.blend ? "BLEND" : "OPAQUE";
    model_->materials.push_back(m);
    materialTangents_.push_back(spec.tangents);
    int index = static_cast<int>(model_->materials.size() - 1);
    materials_.emplace(spec.name, index);
    return index;
}

int GltfBuilder::addNode(const std::string& name, int parent, const Transform& transform)
{
    tinygltf::Node node;
    node.name = name;
    if (transform.translation != glm::vec3(0.0f)) {
        node.translation = {transform.translation.x, transform.translation.y, transform.translation.z};
    }
    if (transform.rotation != glm::quat(1.0f, 0.0f, 0.0f, 0.0f)) {
        glm::quat q = glm::normalize(transform.rotation);
        node.rotation = {q.x, q.y, q.z, q.w};
    }
    if (transform.scale != glm::vec3(1.0f)) {
        node.scale = {transform.scale.x, transform.scale.y, transform.scale.z};
    }
    model_->nodes.push_back(node);
    int index = static_cast<int>(model_->nodes.size() - 1);
    if (parent < 0) {
        model_->scenes[0].nodes.push_back(index);
    } else {
        model_->nodes[static_cast<std::size_t>(parent)].children.push_back(index);
    }
    return index;
}

void GltfBuilder::setMesh(int node, const std::string& name, const std::vector<Primitive>& primitives)
{
    tinygltf::Mesh mesh;
    mesh.name = name;
    for (const Primitive& p : primitives) {
        const Mesh& m = *p.mesh;
        if (m.indices.empty()) {
            continue;
        }
        std::size_t n = m.vertices.size();
        std::vector<float> positions, normals, uvs;
        positions.reserve(n * 3);
        Bounds b = m.bounds();
        for (const Vertex& v : m.vertices) {
            // A NaN here would pass the file's own checks and fail the engine's
            // loader; stop the forge at the mesh that has it instead.
            if (!std::isfinite(v.position.x) || !std::isfinite(v.position.y) || !std::isfinite(v.position.z) ||
                !std::isfinite(v.normal.x) || !std::isfinite(v.normal.y) || !std::isfinite(v.normal.z) ||
                !std::isfinite(v.uv.x) || !std::isfinite(v.uv.y)) {
                throw std::runtime_error("mesh \"" + name + "\" has a vertex that is not a finite number");
            }
            positions.insert(positions.end(), {v.position.x, v.position.y, v.position.z});
            glm::vec3 nn = glm::length(v.normal) > 0 ? glm::normalize(v.normal) : glm::vec3(0, 1, 0);
            normals.insert(normals.end(), {nn.x, nn.y, nn.z});
            uvs.insert(uvs.end(), {v.uv.x, v.uv.y});
        }
        bool withTangents = p.material < 0 || materialTangents_[static_cast<std::size_t>(p.material)];
        tinygltf::Primitive prim;
        prim.mode = TINYGLTF_MODE_TRIANGLES;
        prim.material = p.material;
        prim.attributes["POSITION"] =
            addAccessor(positions.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3,
                        TINYGLTF_TARGET_ARRAY_BUFFER, 12, {b.min.x, b.min.y, b.min.z}, {b.max.x, b.max.y, b.max.z});
        prim.attributes["NORMAL"] = addAccessor(normals.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3,
                                                TINYGLTF_TARGET_ARRAY_BUFFER, 12);
        if (withTangents) {
            std::vector<glm::vec4> tangents = computeTangents(m);
            prim.attributes["TANGENT"] = addAccessor(tangents.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                                     TINYGLTF_TYPE_VEC4, TINYGLTF_TARGET_ARRAY_BUFFER, 16);
        }
        prim.attributes["TEXCOORD_0"] = addAccessor(uvs.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2,
                                                    TINYGLTF_TARGET_ARRAY_BUFFER, 8);
        if (m.skinned()) {
            prim.attributes["JOINTS_0"] = addAccessor(m.joints.data(), n, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                                      TINYGLTF_TYPE_VEC4, TINYGLTF_TARGET_ARRAY_BUFFER, 8);
            prim.attributes["WEIGHTS_0"] = addAccessor(m.weights.data(), n, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                                       TINYGLTF_TYPE_VEC4, TINYGLTF_TARGET_ARRAY_BUFFER, 16);
        }
        if (n <= 65535) {
            std::vector<std::uint16_t> small(m.indices.begin(), m.indices.end());
            prim.indices = addAccessor(small.data(), small.size(), TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                       TINYGLTF_TYPE_SCALAR, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, 2);
        } else {
            prim.indices = addAccessor(m.indices.data(), m.indices.size(), TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                       TINYGLTF_TYPE_SCALAR, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER, 4);
        }
        triangles_ += m.triangleCount();
        mesh.primitives.push_back(prim);
    }
    if (mesh.primitives.empty()) {
        return;
    }
    model_->meshes.push_back(mesh);
    model_->nodes[static_cast<std::size_t>(node)].mesh = static_cast<int>(model_->meshes.size() - 1);
}

int GltfBuilder::addMeshNode(const std::string& name, int parent, const Mesh& mesh, int material,
                             const Transform& transform)
{
    int node = addNode(name, parent, transform);
    setMesh(node, name, {{&mesh, material}});
    return node;
}

int GltfBuilder::addSkin(const std::string& name, const std::vector<int>& joints,
                         const std::vector<glm::mat4>& inverseBindMatrices, int skeletonRoot)
{
    tinygltf::Skin skin;
    skin.name = name;
    skin.joints = joints;
    skin.skeleton = skeletonRoot;
    std::vector<float> data;
    for (const glm::mat4& m : inverseBindMatrices) {
        const float* p = glm::value_ptr(m);
        data.insert(data.end(), p, p + 16);
    }
    skin.inverseBindMatrices =
        addAccessor(data.data(), inverseBindMatrices.size(), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 0, 64);
    model_->skins.push_back(skin);
    return static_cast<int>(model_->skins.size() - 1);
}

void GltfBuilder::setSkin(int node, int skin)
{
    model_->nodes[static_cast<std::size_t>(node)].skin = skin;
}

void GltfBuilder::addAnimation(const std::string& name, const std::vector<Channel>& channels)
{
    tinygltf::Animation animation;
    animation.name = name;
    for (const Channel& c : channels) {
        bool rotation = c.path == "rotation";
        std::vector<float> values;
        for (const glm::vec4& v : c.values) {
            if (rotation) {
                glm::vec4 q = glm::normalize(v);
                values.insert(values.end(), {q.x, q.y, q.z, q.w});
            } else {
                values.insert(values.end(), {v.x, v.y, v.z});
            }
        }
        tinygltf::AnimationSampler sampler;
        sampler.input = addAccessor(c.times.data(), c.times.size(), TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR,
                                    0, 4, {c.times.front()}, {c.times.back()});
        sampler.output = addAccessor(values.data(), c.values.size(), TINYGLTF_COMPONENT_TYPE_FLOAT,
                                     rotation ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3, 0, rotation ? 16 : 12);
        sampler.interpolation = "LINEAR";
        animation.samplers.push_back(sampler);
        tinygltf::AnimationChannel channel;
        channel.sampler = static_cast<int>(animation.samplers.size() - 1);
        channel.target_node = c.node;
        channel.target_path = c.path;
        animation.channels.push_back(channel);
    }
    model_->animations.push_back(animation);
}

void GltfBuilder::write(const std::filesystem::path& path)
{
    model_->buffers[0].uri.clear();
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(model_.get(), path.string(), true, true, false, true)) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace gloam::forge
