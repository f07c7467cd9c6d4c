#include "platform/assets/ModelLoader.h"

#include "platform/assets/AnimationResource.h"
#include "platform/assets/TextureResource.h"
#include "platform/async/Suspensions.h"
#include "platform/mesh/MeshError.h"
#include "platform/mesh/MeshResource.h"

#include <stb_image.h>
#include <tiny_gltf.h>

#include <glm/gtc/type_ptr.hpp>

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>

namespace gloam::platform {

namespace {

// Images are decoded to RGBA8 while parsing (on the worker).
bool decodeImage(tinygltf::Image* image, const int index, std::string* err, std::string*, int, int,
                 const unsigned char* bytes, int size, void*)
{
    int w = 0, h = 0, comp = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, size, &w, &h, &comp, 4);
    if (!pixels) {
        if (err) {
            *err += "image " + std::to_string(index) +
                    " cannot be decoded: " + (stbi_failure_reason() ? stbi_failure_reason() : "unknown image format") +
                    "\n";
        }
        return false;
    }
    image->width = w;
    image->height = h;
    image->component = 4;
    image->bits = 8;
    image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
    image->image.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    stbi_image_free(pixels);
    return true;
}

// An accessor without a buffer view is all zeros; more floats than this
// (64 MB) in one such accessor is not a model but an attempt to exhaust memory.
constexpr std::size_t maxZeroElements = std::size_t{1} << 24;

class Builder {
public:
    Builder(const tinygltf::Model& model, std::string file)
        : model_(model)
        , file_(std::move(file))
    {}

    EntityPtr build(const std::string& rootName)
    {
        auto root = Entity::make(rootName);
        nodes_.resize(model_.nodes.size());
        for (std::size_t i = 0; i < model_.nodes.size(); ++i) {
            nodes_[i] = makeNode(model_.nodes[i]);
        }
        std::vector<bool> isChild(model_.nodes.size(), false);
        for (std::size_t i = 0; i < model_.nodes.size(); ++i) {
            for (int c : model_.nodes[i].children) {
                if (c < 0 || static_cast<std::size_t>(c) >= nodes_.size() || isChild[static_cast<std::size_t>(c)]) {
                    fail("node " + std::to_string(i) + " has an invalid child " + std::to_string(c));
                }
                isChild[static_cast<std::size_t>(c)] = true;
                if (static_cast<std::size_t>(c) == i) {
                    fail("node " + std::to_string(i) + " is its own child");
                }
                try {
                    nodes_[i]->addChild(nodes_[static_cast<std::size_t>(c)]);
                } catch (const std::invalid_argument&) {
                    fail("node " + std::to_string(i) + " has child " + std::to_string(c) +
                         ", which is one of its ancestors: the node tree has a cycle");
                }
            }
        }
        // The default scene's roots, or every parentless node.
        std::vector<int> roots;
        const int sceneIndex = model_.defaultScene >= 0 ? model_.defaultScene : 0;
        if (static_cast<std::size_t>(sceneIndex) < model_.scenes.size()) {
            roots = model_.scenes[static_cast<std::size_t>(sceneIndex)].nodes;
        } else {
            for (std::size_t i = 0; i < nodes_.size(); ++i) {
                if (!isChild[i]) {
                    roots.push_back(static_cast<int>(i));
                }
            }
        }
        for (int r : roots) {
            if (r < 0 || static_cast<std::size_t>(r) >= nodes_.size()) {
                fail("the scene names a node " + std::to_string(r) + " that does not exist");
            }
            root->addChild(nodes_[static_cast<std::size_t>(r)]);
        }
        for (std::size_t i = 0; i < model_.nodes.size(); ++i) {
            if (model_.nodes[i].skin >= 0) {
                nodes_[i]->components.set(makeSkin(model_.nodes[i].skin));
            }
        }
        for (std::size_t i = 0; i < model_.animations.size(); ++i) {
            root->addAnimation(makeAnimation(model_.animations[i], i));
        }
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& what) const { throw ModelLoadError("model file " + file_ + ": " + what); }

    EntityPtr makeNode(const tinygltf::Node& node)
    {
        auto entity = Entity::make(node.name);
        Transform t;
        if (node.matrix.size() == 16) {
            glm::mat4 m;
            for (int i = 0; i < 16; ++i) {
                glm::value_ptr(m)[i] = static_cast<float>(node.matrix[static_cast<std::size_t>(i)]);
            }
            t = Transform::fromMatrix(m);
        } else {
            if (node.translation.size() == 3) {
                t.translation = {node.translation[0], node.translation[1], node.translation[2]};
            }
            if (node.rotation.size() == 4) {
                t.rotation = glm::normalize(
                    glm::quat(static_cast<float>(node.rotation[3]), static_cast<float>(node.rotation[0]),
                              static_cast<float>(node.rotation[1]), static_cast<float>(node.rotation[2])));
            }
            if (node.scale.size() == 3) {
                t.scale = {node.scale[0], node.scale[1], node.scale[2]};
            }
        }
        entity->setTransform(t);
        if (node.mesh >= 0) {
            if (static_cast<std::size_t>(node.mesh) >= model_.meshes.size()) {
                fail("node \"" + node.name + "\" names a mesh that does not exist");
            }
            entity->components.set(makeModel(node.mesh));
        }
        return entity;
    }

    // The accessor's elements as floats (normalised integers scaled to 0...1
    // or −1...1), `components` per element.
    std::vector<float> readFloats(int accessorIndex, int components)
    {
        const Layout layout = layoutOf(accessorIndex, components);
        std::vector<float> out(layout.count * static_cast<std::size_t>(components));
        readElements(accessorIndex, layout, [&](std::size_t element, int c, double value) {
            out[element * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] =
                static_cast<float>(value);
        });
        return out;
    }

    // Joint indices, four per vertex, as stored (never normalised).
    std::vector<float> readJoints(int accessorIndex)
    {
        const Layout layout = layoutOf(accessorIndex, 4, Numbers::unsignedIntegers);
        std::vector<float> out(layout.count * 4);
        readElements(
            accessorIndex, layout,
            [&](std::size_t element, int c, double value) {
                out[element * 4 + static_cast<std::size_t>(c)] = static_cast<float>(value);
            },
            /*normalise=*/false);
        return out;
    }

    std::vector<std::uint32_t> readIndices(int accessorIndex)
    {
        const Layout layout = layoutOf(accessorIndex, 1, Numbers::unsignedIntegers);
        std::vector<std::uint32_t> out(layout.count);
        readElements(
            accessorIndex, layout,
            [&](std::size_t element, int, double value) { out[element] = static_cast<std::uint32_t>(value); },
            /*normalise=*/false);
        return out;
    }

    const tinygltf::Accessor& accessorAt(int index)
    {
        if (index < 0 || static_cast<std::size_t>(index) >= model_.accessors.size()) {
            fail("accessor " + std::to_string(index) + " does not exist");
        }
        return model_.accessors[static_cast<std::size_t>(index)];
    }

    // Where an accessor's elements are, checked against its buffer before
    // anything is allocated or read: every sum and product below is bounded
    // first, so a hostile count, offset or stride cannot wrap round.
    struct Layout {
        const unsigned char* first = nullptr; // null: the elements are all zero
        std::size_t count = 0;
        std::size_t stride = 0;
        int components = 0;
        int componentSize = 0;
    };

    enum class Numbers { any, unsignedIntegers };

    Layout layoutOf(int accessorIndex, int wantedComponents, Numbers numbers = Numbers::any)
    {
        const auto& accessor = accessorAt(accessorIndex);
        const std::string which = "accessor " + std::to_string(accessorIndex);
        Layout layout;
        layout.count = accessor.count;
        layout.components = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type));
        layout.componentSize = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(accessor.componentType));
        if (layout.components <= 0 || layout.componentSize <= 0) {
            fail(which + " has an unknown type");
        }
        if (layout.components != wantedComponents) {
            fail(which + " has " + std::to_string(layout.components) + " components where " +
                 std::to_string(wantedComponents) + " are needed");
        }
        if (accessor.sparse.isSparse) {
            fail(which + " is sparse, which is not supported");
        }
        if (numbers == Numbers::unsignedIntegers && accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
            accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
            accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT) {
            fail(which + " holds indices that are not unsigned integers");
        }
        const auto elementSize = static_cast<std::size_t>(layout.components * layout.componentSize);
        if (accessor.bufferView < 0) {
            // All zeros, with nothing in the file to bound the count.
            if (layout.count > maxZeroElements / static_cast<std::size_t>(layout.components)) {
                fail(which + " has too many elements (" + std::to_string(layout.count) + ")");
            }
            return layout;
        }
        if (static_cast<std::size_t>(accessor.bufferView) >= model_.bufferViews.size()) {
            fail(which + " names a buffer view that does not exist");
        }
        const auto& view = model_.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
        if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model_.buffers.size()) {
            fail("buffer view " + std::to_string(accessor.bufferView) + " names a buffer that does not exist");
        }
        const auto& buffer = model_.buffers[static_cast<std::size_t>(view.buffer)].data;
        layout.stride = view.byteStride ? view.byteStride : elementSize;
        // The bytes this accessor may read: its view, clipped to the buffer.
        if (view.byteOffset > buffer.size()) {
            fail("buffer view " + std::to_string(accessor.bufferView) +
                 " starts past the end of its buffer (the file may be truncated)");
        }
        const std::size_t viewBytes = std::min(view.byteLength, buffer.size() - view.byteOffset);
        if (accessor.byteOffset > viewBytes) {
            fail(which + " starts past the end of its buffer view");
        }
        const std::size_t available = viewBytes - accessor.byteOffset;
        if (layout.count > 0 &&
            (elementSize > available || layout.count - 1 > (available - elementSize) / layout.stride)) {
            fail(which + " reaches past the end of its buffer (the file may be truncated)");
        }
        layout.first = buffer.data() + view.byteOffset + accessor.byteOffset;
        return layout;
    }

    template <typename Sink>
    void readElements(int accessorIndex, const Layout& layout, Sink&& sink, bool normalise = true)
    {
        const auto& accessor = accessorAt(accessorIndex);
        const int components = layout.components;
        const int componentSize = layout.componentSize;
        if (!layout.first) {
            for (std::size_t e = 0; e < layout.count; ++e) {
                for (int c = 0; c < components; ++c) {
                    sink(e, c, 0.0);
                }
            }
            return;
        }
        for (std::size_t e = 0; e < layout.count; ++e) {
            const unsigned char* p = layout.first + e * layout.stride;
            for (int c = 0; c < components; ++c) {
                const unsigned char* q = p + c * componentSize;
                double v = 0.0;
                switch (accessor.componentType) {
                case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                    float f;
                    std::memcpy(&f, q, 4);
                    v = f;
                    break;
                }
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
                    std::uint32_t u;
                    std::memcpy(&u, q, 4);
                    v = u;
                    break;
                }
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                    std::uint16_t u;
                    std::memcpy(&u, q, 2);
                    v = (normalise && accessor.normalized) ? u / 65535.0 : u;
                    break;
                }
                case TINYGLTF_COMPONENT_TYPE_SHORT: {
                    std::int16_t s;
                    std::memcpy(&s, q, 2);
                    v = (normalise && accessor.normalized) ? std::max(s / 32767.0, -1.0) : s;
                    break;
                }
                case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                    v = (normalise && accessor.normalized) ? *q / 255.0 : *q;
                    break;
                case TINYGLTF_COMPONENT_TYPE_BYTE: {
                    const auto s = static_cast<std::int8_t>(*q);
                    v = (normalise && accessor.normalized) ? std::max(s / 127.0, -1.0) : s;
                    break;
                }
                default:
                    fail("accessor " + std::to_string(accessorIndex) + " has an unsupported component type");
                }
                sink(e, c, v);
            }
        }
    }

    TexturePtr texture(int textureIndex, TextureSemantic semantic)
    {
        if (textureIndex < 0) {
            return nullptr;
        }
        if (static_cast<std::size_t>(textureIndex) >= model_.textures.size()) {
            fail("texture " + std::to_string(textureIndex) + " does not exist");
        }
        const int source = model_.textures[static_cast<std::size_t>(textureIndex)].source;
        if (source < 0 || static_cast<std::size_t>(source) >= model_.images.size()) {
            return nullptr;
        }
        const auto key = std::make_pair(source, semantic);
        if (auto it = textures_.find(key); it != textures_.end()) {
            return it->second;
        }
        const auto& image = model_.images[static_cast<std::size_t>(source)];
        if (image.image.empty() || image.width <= 0 || image.height <= 0) {
            fail("image " + std::to_string(source) + " (\"" + image.name + "\") has no pixels");
        }
        std::string name = image.name.empty() ? "image " + std::to_string(source) : image.name;
        auto made = TextureResource::fromPixels(image.width, image.height, image.image, name,
                                                {semantic, TextureMipmapsMode::allocateAndGenerateAll});
        textures_.emplace(key, made);
        return made;
    }

    Material makeMaterial(int index)
    {
        if (index < 0) {
            return PhysicallyBasedMaterial{};
        }
        if (static_cast<std::size_t>(index) >= model_.materials.size()) {
            fail("material " + std::to_string(index) + " does not exist");
        }
        const auto& m = model_.materials[static_cast<std::size_t>(index)];
        const auto& pbr = m.pbrMetallicRoughness;
        Color base(1.0f);
        if (pbr.baseColorFactor.size() == 4) {
            base =
                Color(pbr.baseColorFactor[0], pbr.baseColorFactor[1], pbr.baseColorFactor[2], pbr.baseColorFactor[3]);
        }
        const bool blend = m.alphaMode == "BLEND";
        const FaceCulling culling = m.doubleSided ? FaceCulling::none : FaceCulling::back;
        if (m.extensions.count("KHR_materials_unlit")) {
            UnlitMaterial u;
            u.name = m.name;
            u.color.tint = base;
            u.color.texture = texture(pbr.baseColorTexture.index, TextureSemantic::color);
            u.faceCulling = culling;
            u.blending = blend ? Blending::transparent(1.0f) : Blending::opaque();
            return u;
        }
        PhysicallyBasedMaterial p;
        p.name = m.name;
        p.baseColor.tint = base;
        p.baseColor.texture = texture(pbr.baseColorTexture.index, TextureSemantic::color);
        p.roughness = static_cast<float>(pbr.roughnessFactor);
        p.metallic = static_cast<float>(pbr.metallicFactor);
        p.roughnessTexture = texture(pbr.metallicRoughnessTexture.index, TextureSemantic::raw);
        p.normal = texture(m.normalTexture.index, TextureSemantic::normal);
        p.occlusion = texture(m.occlusionTexture.index, TextureSemantic::raw);
        if (m.emissiveFactor.size() == 3) {
            p.emissiveColor.color = {m.emissiveFactor[0], m.emissiveFactor[1], m.emissiveFactor[2]};
        }
        p.emissiveColor.texture = texture(m.emissiveTexture.index, TextureSemantic::color);
        if (auto it = m.extensions.find("KHR_materials_emissive_strength"); it != m.extensions.end()) {
            const auto& strength = it->second.Get("emissiveStrength");
            if (strength.IsNumber()) {
                p.emissiveIntensity = static_cast<float>(strength.GetNumberAsDouble());
            }
        }
        if (auto it = m.extensions.find("KHR_materials_specular"); it != m.extensions.end()) {
            const auto& factor = it->second.Get("specularFactor");
            if (factor.IsNumber()) {
                p.specular = static_cast<float>(factor.GetNumberAsDouble()) * 0.5f;
            }
        }
        p.faceCulling = culling;
        p.blending = blend ? Blending::transparent(1.0f) : Blending::opaque();
        return p;
    }

    ModelComponent makeModel(int meshIndex)
    {
        if (auto it = models_.find(meshIndex); it != models_.end()) {
            return it->second;
        }
        const auto& mesh = model_.meshes[static_cast<std::size_t>(meshIndex)];
        std::vector<MeshDescriptor> parts;
        std::vector<Material> materials;
        for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
            const auto& prim = mesh.primitives[p];
            if (prim.mode != TINYGLTF_MODE_TRIANGLES && prim.mode != -1) {
                fail("mesh \"" + mesh.name + "\" has a primitive that is not a triangle list (mode " +
                     std::to_string(prim.mode) + ")");
            }
            MeshDescriptor d;
            d.name = mesh.name;
            d.materialIndex = static_cast<std::uint32_t>(materials.size());
            auto attribute = [&](const char* key) {
                auto it = prim.attributes.find(key);
                return it == prim.attributes.end() ? -1 : it->second;
            };
            const int position = attribute("POSITION");
            if (position < 0) {
                fail("mesh \"" + mesh.name + "\" has a primitive without positions");
            }
            const auto pos = readFloats(position, 3);
            for (std::size_t i = 0; i < pos.size(); i += 3) {
                d.positions.emplace_back(pos[i], pos[i + 1], pos[i + 2]);
            }
            if (int a = attribute("NORMAL"); a >= 0) {
                const auto v = readFloats(a, 3);
                for (std::size_t i = 0; i < v.size(); i += 3) {
                    d.normals.emplace_back(v[i], v[i + 1], v[i + 2]);
                }
            }
            if (int a = attribute("TEXCOORD_0"); a >= 0) {
                const auto v = readFloats(a, 2);
                for (std::size_t i = 0; i < v.size(); i += 2) {
                    // glTF counts v down from the image's top; we count it up from the bottom.
                    d.textureCoordinates.emplace_back(v[i], 1.0f - v[i + 1]);
                }
            }
            if (int a = attribute("TANGENT"); a >= 0) {
                const auto v = readFloats(a, 4);
                for (std::size_t i = 0; i < v.size(); i += 4) {
                    // Turning v round turns the bitangent round too.
                    d.tangents.emplace_back(v[i], v[i + 1], v[i + 2], -v[i + 3]);
                }
            }
            const int joints = attribute("JOINTS_0");
            const int weights = attribute("WEIGHTS_0");
            if (joints >= 0 && weights >= 0) {
                const auto j = readJoints(joints);
                const auto w = readFloats(weights, 4);
                for (std::size_t i = 0; i < j.size(); i += 4) {
                    d.jointIndices.emplace_back(j[i], j[i + 1], j[i + 2], j[i + 3]);
                }
                for (std::size_t i = 0; i < w.size(); i += 4) {
                    d.jointWeights.emplace_back(w[i], w[i + 1], w[i + 2], w[i + 3]);
                }
            }
            if (prim.indices >= 0) {
                d.indices = readIndices(prim.indices);
            } else {
                d.indices.resize(d.positions.size());
                for (std::size_t i = 0; i < d.indices.size(); ++i) {
                    d.indices[i] = static_cast<std::uint32_t>(i);
                }
            }
            materials.push_back(makeMaterial(prim.material));
            parts.push_back(std::move(d));
        }
        try {
            ModelComponent made(MeshResource::generate(std::move(parts), mesh.name), std::move(materials));
            models_.emplace(meshIndex, made);
            return made;
        } catch (const MeshError& e) {
            fail(e.what());
        }
    }

    SkinComponent makeSkin(int skinIndex)
    {
        if (static_cast<std::size_t>(skinIndex) >= model_.skins.size()) {
            fail("skin " + std::to_string(skinIndex) + " does not exist");
        }
        const auto& skin = model_.skins[static_cast<std::size_t>(skinIndex)];
        SkinComponent out;
        for (int j : skin.joints) {
            if (j < 0 || static_cast<std::size_t>(j) >= nodes_.size()) {
                fail("skin " + std::to_string(skinIndex) + " names a joint node that does not exist");
            }
            out.joints.push_back(nodes_[static_cast<std::size_t>(j)]);
        }
        out.inverseBindMatrices.assign(skin.joints.size(), glm::mat4(1.0f));
        if (skin.inverseBindMatrices >= 0) {
            const auto m = readFloats(skin.inverseBindMatrices, 16);
            if (m.size() < skin.joints.size() * 16) {
                fail("skin " + std::to_string(skinIndex) + " has fewer inverse bind matrices than joints");
            }
            for (std::size_t i = 0; i < skin.joints.size(); ++i) {
                std::memcpy(glm::value_ptr(out.inverseBindMatrices[i]), &m[i * 16], 16 * sizeof(float));
            }
        }
        return out;
    }

    AnimationPtr makeAnimation(const tinygltf::Animation& animation, std::size_t index)
    {
        std::vector<AnimationChannel> channels;
        for (const auto& ch : animation.channels) {
            if (ch.sampler < 0 || static_cast<std::size_t>(ch.sampler) >= animation.samplers.size()) {
                fail("animation \"" + animation.name + "\" has a channel without a sampler");
            }
            if (ch.target_node < 0 || static_cast<std::size_t>(ch.target_node) >= nodes_.size()) {
                continue; // a channel with no node animates nothing we show
            }
            const auto& sampler = animation.samplers[static_cast<std::size_t>(ch.sampler)];
            AnimationChannel c;
            c.target = nodes_[static_cast<std::size_t>(ch.target_node)];
            int width = 3;
            if (ch.target_path == "translation") {
                c.path = AnimationChannel::Path::translation;
            } else if (ch.target_path == "rotation") {
                c.path = AnimationChannel::Path::rotation;
                width = 4;
            } else if (ch.target_path == "scale") {
                c.path = AnimationChannel::Path::scale;
            } else {
                continue; // morph weights are not animated
            }
            if (sampler.interpolation == "STEP") {
                c.interpolation = AnimationChannel::Interpolation::step;
            } else if (sampler.interpolation == "CUBICSPLINE") {
                c.interpolation = AnimationChannel::Interpolation::cubicSpline;
            } else {
                c.interpolation = AnimationChannel::Interpolation::linear;
            }
            c.times = readFloats(sampler.input, 1);
            const auto values = readFloats(sampler.output, width);
            for (std::size_t i = 0; i < values.size(); i += static_cast<std::size_t>(width)) {
                c.values.emplace_back(values[i], values[i + 1], values[i + 2], width == 4 ? values[i + 3] : 0.0f);
            }
            const std::size_t perKey = c.interpolation == AnimationChannel::Interpolation::cubicSpline ? 3 : 1;
            if (c.values.size() != c.times.size() * perKey) {
                fail("animation \"" + animation.name + "\" has " + std::to_string(c.values.size()) + " values for " +
                     std::to_string(c.times.size()) + " key times");
            }
            channels.push_back(std::move(c));
        }
        const std::string name = animation.name.empty() ? "animation " + std::to_string(index) : animation.name;
        return AnimationResource::make(name, std::move(channels));
    }

    const tinygltf::Model& model_;
    std::string file_;
    std::vector<EntityPtr> nodes_;
    std::map<std::pair<int, TextureSemantic>, TexturePtr> textures_;
    std::map<int, ModelComponent> models_;
};

} // namespace

EntityPtr ModelLoader::loadNow(const std::filesystem::path& file, const std::string& name)
{
    const std::string shown = file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw ModelLoadError("model file " + shown + " cannot be read: no such file");
    }
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(&decodeImage, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    const bool binary = file.extension() != ".gltf";
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &err, &warn, shown)
                           : loader.LoadASCIIFromFile(&model, &err, &warn, shown);
    if (!ok) {
        while (!err.empty() && (err.back() == '\n' || err.back() == ' ')) {
            err.pop_back();
        }
        throw ModelLoadError("model file " + shown +
                             " is not a valid glTF file: " + (err.empty() ? "unknown error" : err));
    }
    return Builder(model, shown).build(name);
}

async::Task<EntityPtr> ModelLoader::load(std::filesystem::path file, std::string name)
{
    // A named job, not a temporary in the co_await operand: GCC 12 copies
    // such a temporary wrongly (its captures then point into the frame).
    auto work = [file, name] { return loadNow(file, name); };
    auto root = co_await async::onWorker(std::move(work));
    co_return root;
}

} // namespace gloam::platform
