#include "forge/preview/PreviewRenderer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <nlohmann/json.hpp>
#include <stb_image.h>
#include <tiny_gltf.h>

#include "forge/mesh/Shapes.h"
#include "resources/SceneNames.h"

namespace gloam::forge::preview {

namespace names = gloam::scene_names;

namespace {

bool contains(const std::string& s, std::string_view part)
{
    return s.find(part) != std::string::npos;
}

float srgbToLinear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

glm::vec3 srgbToLinear(glm::vec3 c)
{
    return {srgbToLinear(c.r), srgbToLinear(c.g), srgbToLinear(c.b)};
}

template <typename T>
std::vector<T> readAccessor(const tinygltf::Model& model, int index, int components)
{
    const tinygltf::Accessor& a = model.accessors[static_cast<std::size_t>(index)];
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
    const unsigned char* base =
        model.buffers[static_cast<std::size_t>(view.buffer)].data.data() + view.byteOffset + a.byteOffset;
    std::size_t componentSize = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(a.componentType));
    std::size_t stride = view.byteStride ? view.byteStride : componentSize * static_cast<std::size_t>(components);
    std::vector<T> out(a.count * static_cast<std::size_t>(components));
    for (std::size_t i = 0; i < a.count; ++i) {
        for (int c = 0; c < components; ++c) {
            const unsigned char* p = base + i * stride + static_cast<std::size_t>(c) * componentSize;
            T value{};
            switch (a.componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT:
                value = static_cast<T>(*reinterpret_cast<const float*>(p));
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
                value = static_cast<T>(*reinterpret_cast<const std::uint32_t*>(p));
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                value = static_cast<T>(*reinterpret_cast<const std::uint16_t*>(p));
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                value = static_cast<T>(*p);
                break;
            default:
                break;
            }
            out[i * static_cast<std::size_t>(components) + static_cast<std::size_t>(c)] = value;
        }
    }
    return out;
}

glm::mat4 localMatrix(const tinygltf::Node& node)
{
    if (node.matrix.size() == 16) {
        glm::mat4 m;
        for (int i = 0; i < 16; ++i) {
            glm::value_ptr(m)[i] = static_cast<float>(node.matrix[static_cast<std::size_t>(i)]);
        }
        return m;
    }
    glm::vec3 t(0.0f), s(1.0f);
    glm::quat r(1, 0, 0, 0);
    if (node.translation.size() == 3) {
        t = {node.translation[0], node.translation[1], node.translation[2]};
    }
    if (node.rotation.size() == 4) {
        r = glm::quat(static_cast<float>(node.rotation[3]), static_cast<float>(node.rotation[0]),
                      static_cast<float>(node.rotation[1]), static_cast<float>(node.rotation[2]));
    }
    if (node.scale.size() == 3) {
        s = {node.scale[0], node.scale[1], node.scale[2]};
    }
    return glm::translate(glm::mat4(1.0f), t) * glm::mat4_cast(r) * glm::scale(glm::mat4(1.0f), s);
}

// Poses the nodes of a model at time t of its first clip (linear keys).
void animate(const tinygltf::Model& model, float t, std::vector<tinygltf::Node>& nodes)
{
    if (model.animations.empty()) {
        return;
    }
    const tinygltf::Animation& anim = model.animations[0];
    for (const tinygltf::AnimationChannel& ch : anim.channels) {
        const tinygltf::AnimationSampler& s = anim.samplers[static_cast<std::size_t>(ch.sampler)];
        std::vector<float> times = readAccessor<float>(model, s.input, 1);
        int comps = ch.target_path == "rotation" ? 4 : 3;
        std::vector<float> values = readAccessor<float>(model, s.output, comps);
        std::size_t k = 0;
        while (k + 1 < times.size() && times[k + 1] <= t) {
            ++k;
        }
        std::size_t k1 = std::min(k + 1, times.size() - 1);
        float f = k1 == k ? 0.0f : std::clamp((t - times[k]) / (times[k1] - times[k]), 0.0f, 1.0f);
        auto at = [&](std::size_t i, int c) {
            return values[i * static_cast<std::size_t>(comps) + static_cast<std::size_t>(c)];
        };
        tinygltf::Node& node = nodes[static_cast<std::size_t>(ch.target_node)];
        if (comps == 4) {
            glm::quat a(at(k, 3), at(k, 0), at(k, 1), at(k, 2)), b(at(k1, 3), at(k1, 0), at(k1, 1), at(k1, 2));
            glm::quat q = glm::slerp(a, b, f);
            node.rotation = {q.x, q.y, q.z, q.w};
        } else {
            std::vector<double> v(3);
            for (int c = 0; c < 3; ++c) {
                v[static_cast<std::size_t>(c)] = at(k, c) + (at(k1, c) - at(k, c)) * f;
            }
            (ch.target_path == "translation" ? node.translation : node.scale) = v;
        }
    }
}

glm::vec3 tonemap(glm::vec3 c)
{
    // A gentle filmic shoulder, then sRGB.
    glm::vec3 x = glm::max(c, glm::vec3(0.0f));
    glm::vec3 mapped = (x * (2.51f * x + 0.03f)) / (x * (2.43f * x + 0.59f) + 0.14f);
    return {toSrgb(mapped.r), toSrgb(mapped.g), toSrgb(mapped.b)};
}

} // namespace

Camera orbitCamera(float yaw, float elevation, float distance, int width, int height)
{
    float aspect = static_cast<float>(width) / static_cast<float>(height);
    float narrow = std::clamp((2.4f - aspect) / 0.65f, 0.0f, 1.0f);
    float raise = std::clamp((elevation - 0.1f) * 4.0f, 0.0f, 1.0f);
    float e = elevation + 0.035f * narrow * (1.0f - raise);
    glm::vec3 d(std::sin(yaw) * std::cos(e), std::sin(e), std::cos(yaw) * std::cos(e));
    Camera c;
    c.position = c.target + distance * d;
    return c;
}

PreviewRenderer::PreviewRenderer(int width, int height)
    : width_(width)
    , height_(height)
{
    // The scene's fixed lights: cold fills from the house side and low in
    // front.
    lights_.push_back({{1.0f, 2.0f, -3.0f}, glm::vec3(0.0f, 0.7f, 1.0f) * 0.9f, 10.0f});
    lights_.push_back({{-2.0f, 0.25f, 2.0f}, glm::vec3(0.0f, 0.7f, 1.0f) * 0.3f, 4.0f});
}

void PreviewRenderer::setCavityTexture(const std::filesystem::path& png)
{
    int w = 0, h = 0, n = 0;
    unsigned char* data = stbi_load(png.string().c_str(), &w, &h, &n, 4);
    if (data == nullptr) {
        return;
    }
    Image img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = data + (y * w + x) * 4;
            img.at(x, y) = glm::vec4(p[0], p[1], p[2], p[3]) / 255.0f;
        }
    }
    stbi_image_free(data);
    textures_.push_back(img);
    cavity_ = static_cast<int>(textures_.size() - 1);
}

void PreviewRenderer::addVehicleStandIn()
{
    Mesh body = shapes::bevelledBox({5.0f, 0.9f, 2.0f}, 0.25f, 3);
    body.append(shapes::bevelledBox({2.6f, 0.6f, 1.7f}, 0.25f, 3),
                glm::translate(glm::mat4(1.0f), {0.3f, 0.65f, 0.0f}));
    Triangle proto{};
    proto.colour = {0.78f, 0.82f, 0.85f};
    proto.texture = -1;
    proto.opacity = 1.0f;
    for (std::size_t k = 0; k + 2 < body.indices.size(); k += 3) {
        Triangle t = proto;
        for (int c = 0; c < 3; ++c) {
            const Vertex& v = body.vertices[body.indices[k + static_cast<std::size_t>(c)]];
            t.p[c] = v.position + glm::vec3(0.0f, 0.75f, 0.0f);
            t.n[c] = v.normal;
        }
        triangles_.push_back(t);
    }
}

void PreviewRenderer::addTargetLights(const std::filesystem::path& propTargets)
{
    std::ifstream file(propTargets);
    if (!file) {
        return;
    }
    nlohmann::json list = nlohmann::json::parse(file);
    for (const auto& t : list) {
        glm::vec3 c(t["center"][0].get<float>(), t["center"][1].get<float>(), t["center"][2].get<float>());
        std::string id = t["id"], kind = t["kind"];
        if (kind == names::kindPumpkin && id != names::rightBroken) {
            lights_.push_back({c + glm::vec3(0, -0.06f, 0), glm::vec3(1.0f, 0.16f, 0.006f) * 0.6f, 0.55f});
        }
        if (id == names::matchedLeftStone || id == names::matchedLeaningStone) {
            bool left = id == names::matchedLeftStone;
            lights_.push_back({c + glm::vec3(-0.66114497f, 0.85f, -0.32843494f),
                               glm::vec3(1.0f, 0.73f, 0.48f) * (left ? 1.4f : 0.7f), left ? 1.8f : 1.1f});
        }
    }
}

void PreviewRenderer::addModel(const std::filesystem::path& glb, std::optional<float> animationTime)
{
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    if (!loader.LoadBinaryFromFile(&model, &error, &warning, glb.string())) {
        throw std::runtime_error("cannot load " + glb.string() + ": " + error);
    }
    bool includeHand = model.skins.size() > 0;
    int textureBase = static_cast<int>(textures_.size());
    for (const tinygltf::Texture& t : model.textures) {
        const tinygltf::Image& src = model.images[static_cast<std::size_t>(t.source)];
        Image img(src.width, src.height);
        for (int y = 0; y < src.height; ++y) {
            for (int x = 0; x < src.width; ++x) {
                glm::vec4 c(1.0f);
                for (int k = 0; k < src.component; ++k) {
                    c[k] = static_cast<float>(
                               src.image[static_cast<std::size_t>((y * src.width + x) * src.component + k)]) /
                           255.0f;
                }
                img.at(x, y) = c;
            }
        }
        textures_.push_back(img);
    }
    std::vector<tinygltf::Node> nodes = model.nodes;
    if (animationTime) {
        animate(model, *animationTime, nodes);
    }
    std::vector<glm::mat4> world(nodes.size(), glm::mat4(1.0f));
    std::vector<std::string> effective(nodes.size());
    std::vector<bool> hidden(nodes.size(), false);
    std::function<void(int, const glm::mat4&, const std::string&, bool)> walk = [&](int i, const glm::mat4& parent,
                                                                                    const std::string& inherited,
                                                                                    bool hide) {
        const tinygltf::Node& n = nodes[static_cast<std::size_t>(i)];
        world[static_cast<std::size_t>(i)] = parent * localMatrix(n);
        std::string name = n.name.rfind(names::envPrefix, 0) == 0 ? n.name : inherited;
        effective[static_cast<std::size_t>(i)] = name;
        bool h = hide || (!includeHand && (contains(name, names::bones) || name.rfind(names::sleevePrefix, 0) == 0));
        hidden[static_cast<std::size_t>(i)] = h;
        for (int c : n.children) {
            walk(c, world[static_cast<std::size_t>(i)], name, h);
        }
    };
    for (int root : model.scenes[static_cast<std::size_t>(std::max(model.defaultScene, 0))].nodes) {
        walk(root, glm::mat4(1.0f), "", false);
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const tinygltf::Node& node = nodes[i];
        if (node.mesh < 0 || hidden[i]) {
            continue;
        }
        const std::string& N = effective[i];
        std::vector<glm::mat4> jointMatrices;
        if (node.skin >= 0) {
            const tinygltf::Skin& skin = model.skins[static_cast<std::size_t>(node.skin)];
            std::vector<float> ibm = readAccessor<float>(model, skin.inverseBindMatrices, 16);
            for (std::size_t j = 0; j < skin.joints.size(); ++j) {
                glm::mat4 inv = glm::make_mat4(&ibm[j * 16]);
                jointMatrices.push_back(world[static_cast<std::size_t>(skin.joints[j])] * inv);
            }
        }
        for (const tinygltf::Primitive& prim : model.meshes[static_cast<std::size_t>(node.mesh)].primitives) {
            std::vector<float> pos = readAccessor<float>(model, prim.attributes.at("POSITION"), 3);
            std::vector<float> nrm = readAccessor<float>(model, prim.attributes.at("NORMAL"), 3);
            std::vector<float> uv = prim.attributes.count("TEXCOORD_0")
                                        ? readAccessor<float>(model, prim.attributes.at("TEXCOORD_0"), 2)
                                        : std::vector<float>(pos.size() / 3 * 2, 0.0f);
            std::vector<std::uint32_t> idx = readAccessor<std::uint32_t>(model, prim.indices, 1);
            std::vector<float> joints, weights;
            if (!jointMatrices.empty()) {
                joints = readAccessor<float>(model, prim.attributes.at("JOINTS_0"), 4);
                weights = readAccessor<float>(model, prim.attributes.at("WEIGHTS_0"), 4);
            }
            const tinygltf::Material& mat = model.materials[static_cast<std::size_t>(std::max(prim.material, 0))];
            Triangle proto{};
            const auto& f = mat.pbrMetallicRoughness.baseColorFactor;
            proto.colour = {f[0], f[1], f[2]};
            proto.texture = mat.pbrMetallicRoughness.baseColorTexture.index >= 0
                                ? textureBase + mat.pbrMetallicRoughness.baseColorTexture.index
                                : -1;
            proto.emissive = glm::vec3(0.0f);
            proto.opacity = 1.0f;
            // The scene's dressing rules, as far as a flat preview can show them.
            if (contains(N, names::skyClouds) || contains(N, names::moonSprite)) {
                proto.unlit = true;
                proto.colour = contains(N, names::skyClouds) ? glm::vec3(0.68f, 0.88f, 1.0f) : glm::vec3(1.0f);
                if (contains(N, names::moonSprite)) {
                    proto.blend = true;
                    proto.opacity = 0.94f;
                }
            } else if (contains(N, names::earthBank)) {
                proto.colour *= glm::vec3(0.9f, 0.78f, 0.73f);
            } else if (contains(N, names::houseTimber) || contains(N, names::houseEdge) ||
                       contains(N, names::houseSlate)) {
                proto.unlit = true;
                proto.texture = -1;
                proto.colour =
                    contains(N, names::houseEdge) ? glm::vec3(0.1f, 0.115f, 0.13f) : glm::vec3(0.065f, 0.08f, 0.095f);
            } else if (contains(N, names::treeBlack) || contains(N, names::treeMist) ||
                       contains(N, names::houseBlack) || contains(N, names::roofBlack)) {
                proto.unlit = true;
                proto.texture = -1;
                proto.colour =
                    contains(N, names::treeMist) ? glm::vec3(0.09f, 0.17f, 0.21f) : glm::vec3(0.025f, 0.033f, 0.045f);
            } else if (contains(N, names::windowGlow) || contains(N, names::pumpkinFlame) ||
                       contains(N, names::pumpkinGlow)) {
                bool window = contains(N, names::windowGlow);
                proto.emissive = glm::vec3(1.0f, window ? 0.34f : 0.16f, 0.006f) * (window ? 3.0f : 1.8f);
                if (!window && cavity_ >= 0) {
                    proto.texture = cavity_;
                    proto.emissive = glm::vec3(1.8f);
                } else {
                    proto.texture = -1;
                }
                proto.colour = window ? glm::vec3(0.6f, 0.1f, 0.004f) : glm::vec3(0.0f);
                proto.unlit = !window;
            }
            if (N == names::earth) {
                proto.colour *= glm::vec3(0.9f, 0.78f, 0.73f);
            }
            if (contains(N, names::stone) && !contains(N, names::stoneRecess) && !contains(N, names::moss)) {
                proto.colour *= glm::vec3(0.8f, 0.65f, 0.49f);
            }
            if (contains(N, names::stoneInset)) {
                proto.colour = glm::vec3(f[0], f[1], f[2]) * glm::vec3(0.64f, 0.47f, 0.33f);
            }
            if (proto.unlit && proto.emissive == glm::vec3(0.0f)) {
                proto.colour = srgbToLinear(proto.colour);
            }
            proto.ring = contains(N, names::backdrop) || contains(N, names::treeMist);
            auto vertex = [&](std::uint32_t k, glm::vec3& p, glm::vec3& n, glm::vec2& t) {
                glm::vec4 lp(pos[k * 3], pos[k * 3 + 1], pos[k * 3 + 2], 1.0f);
                glm::vec4 ln(nrm[k * 3], nrm[k * 3 + 1], nrm[k * 3 + 2], 0.0f);
                glm::mat4 m = world[i];
                if (!jointMatrices.empty()) {
                    m = glm::mat4(0.0f);
                    for (int c = 0; c < 4; ++c) {
                        m += jointMatrices[static_cast<std::size_t>(joints[k * 4 + static_cast<std::size_t>(c)])] *
                             weights[k * 4 + static_cast<std::size_t>(c)];
                    }
                }
                p = glm::vec3(m * lp);
                n = glm::normalize(glm::vec3(m * ln));
                t = {uv[k * 2], uv[k * 2 + 1]};
            };
            std::size_t first = triangles_.size();
            glm::vec3 lo(1e30f), hi(-1e30f);
            for (std::size_t k = 0; k + 2 < idx.size(); k += 3) {
                Triangle tri = proto;
                for (int c = 0; c < 3; ++c) {
                    vertex(idx[k + static_cast<std::size_t>(c)], tri.p[c], tri.n[c], tri.uv[c]);
                    lo = glm::min(lo, tri.p[c]);
                    hi = glm::max(hi, tri.p[c]);
                }
                triangles_.push_back(tri);
            }
            for (std::size_t k = first; k < triangles_.size(); ++k) {
                triangles_[k].ringCentre = (lo + hi) * 0.5f;
            }
        }
    }
}

Image PreviewRenderer::render(const Camera& camera) const
{
    Image out(width_, height_, glm::vec4(0, 0, 0, 1));
    std::vector<float> depth(static_cast<std::size_t>(width_ * height_), 1e30f);
    float aspect = static_cast<float>(width_) / static_cast<float>(height_);
    glm::mat4 view = glm::lookAt(camera.position, camera.target, glm::vec3(0, 1, 0));
    glm::mat4 proj = glm::perspective(glm::radians(camera.fieldOfViewDegrees), aspect, 0.1f, 500.0f);
    glm::mat4 vp = proj * view;
    glm::vec3 key = glm::normalize(glm::vec3(-4.0f, 3.5f, 4.0f) - glm::vec3(0.0f, 0.6f, 0.0f));
    glm::vec3 lobe1 = glm::normalize(glm::vec3(-3, 6, 4)), lobe2 = glm::normalize(glm::vec3(1, 1.2f, -3)),
              lobe3 = glm::normalize(glm::vec3(-2, 0.1f, 2));
    auto shade = [&](const Triangle& t, glm::vec3 p, glm::vec3 n, glm::vec2 uv, float& alpha) {
        glm::vec4 tex(1.0f);
        if (t.texture >= 0) {
            tex = textures_[static_cast<std::size_t>(t.texture)].sample(uv);
        }
        alpha = t.opacity * tex.a;
        glm::vec3 texLinear = srgbToLinear(glm::vec3(tex));
        if (t.unlit) {
            glm::vec3 c = glm::clamp(t.colour * texLinear + t.emissive * texLinear, 0.0f, 1.0f);
            return glm::vec3(toSrgb(c.r), toSrgb(c.g), toSrgb(c.b));
        }
        glm::vec3 toEye = glm::normalize(camera.position - p);
        if (glm::dot(n, toEye) < 0.0f) {
            n = -n;
        }
        glm::vec3 ambient = 0.287f * (glm::vec3(0.035f, 0.05f, 0.08f) +
                                      glm::vec3(6, 7, 8) * 0.12f * std::exp(4.0f * (glm::dot(n, lobe1) - 1.0f)) +
                                      glm::vec3(0, 5, 9) * 0.05f * std::exp(6.0f * (glm::dot(n, lobe2) - 1.0f)) +
                                      glm::vec3(0, 1.5f, 3) * 0.05f * std::exp(6.0f * (glm::dot(n, lobe3) - 1.0f)));
        glm::vec3 light = ambient + glm::vec3(0.94f, 0.97f, 1.0f) * 0.55f * std::max(0.0f, glm::dot(n, key));
        for (const Light& l : lights_) {
            glm::vec3 d = l.position - p;
            float dist = glm::length(d);
            if (dist >= l.radius) {
                continue;
            }
            float fall = 1.0f - (dist / l.radius) * (dist / l.radius);
            light += l.colour * fall * fall * std::max(0.0f, glm::dot(n, d / dist)) / (1.0f + dist * dist * 0.3f);
        }
        glm::vec3 base = t.colour * texLinear;
        return tonemap(base * light * 1.3f + t.emissive);
    };
    auto raster = [&](const Triangle& t, bool blendPass) {
        glm::vec4 clip[3];
        for (int c = 0; c < 3; ++c) {
            clip[c] = vp * glm::vec4(t.p[c], 1.0f);
        }
        // Clip against the near plane (w > 0.1).
        struct V {
            glm::vec4 c;
            glm::vec3 p, n;
            glm::vec2 uv;
        };
        std::vector<V> poly{
            {clip[0], t.p[0], t.n[0], t.uv[0]}, {clip[1], t.p[1], t.n[1], t.uv[1]}, {clip[2], t.p[2], t.n[2], t.uv[2]}};
        std::vector<V> clipped;
        for (std::size_t k = 0; k < poly.size(); ++k) {
            const V& a = poly[k];
            const V& b = poly[(k + 1) % poly.size()];
            bool ina = a.c.w > 0.1f, inb = b.c.w > 0.1f;
            if (ina) {
                clipped.push_back(a);
            }
            if (ina != inb) {
                float s = (0.1f - a.c.w) / (b.c.w - a.c.w);
                clipped.push_back(
                    {a.c + (b.c - a.c) * s, a.p + (b.p - a.p) * s, a.n + (b.n - a.n) * s, a.uv + (b.uv - a.uv) * s});
            }
        }
        for (std::size_t k = 1; k + 1 < clipped.size(); ++k) {
            const V* v[3] = {&clipped[0], &clipped[k], &clipped[k + 1]};
            glm::vec2 s[3];
            float invW[3];
            for (int c = 0; c < 3; ++c) {
                invW[c] = 1.0f / v[c]->c.w;
                s[c] = {(v[c]->c.x * invW[c] * 0.5f + 0.5f) * static_cast<float>(width_),
                        (1.0f - (v[c]->c.y * invW[c] * 0.5f + 0.5f)) * static_cast<float>(height_)};
            }
            float area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[2].x - s[0].x) * (s[1].y - s[0].y);
            if (std::abs(area) < 1e-9f) {
                continue;
            }
            int x0 = std::max(0, static_cast<int>(std::floor(std::min({s[0].x, s[1].x, s[2].x}))));
            int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(std::max({s[0].x, s[1].x, s[2].x}))));
            int y0 = std::max(0, static_cast<int>(std::floor(std::min({s[0].y, s[1].y, s[2].y}))));
            int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(std::max({s[0].y, s[1].y, s[2].y}))));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    glm::vec2 q(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
                    float w0 = ((s[1].x - q.x) * (s[2].y - q.y) - (s[2].x - q.x) * (s[1].y - q.y)) / area;
                    float w1 = ((s[2].x - q.x) * (s[0].y - q.y) - (s[0].x - q.x) * (s[2].y - q.y)) / area;
                    float w2 = 1.0f - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0) {
                        continue;
                    }
                    float iw = w0 * invW[0] + w1 * invW[1] + w2 * invW[2];
                    float z = 1.0f / iw;
                    std::size_t pix = static_cast<std::size_t>(y * width_ + x);
                    if (z >= depth[pix]) {
                        continue;
                    }
                    float b0 = w0 * invW[0] * z, b1 = w1 * invW[1] * z, b2 = w2 * invW[2] * z;
                    glm::vec3 p = v[0]->p * b0 + v[1]->p * b1 + v[2]->p * b2;
                    glm::vec3 n = glm::normalize(v[0]->n * b0 + v[1]->n * b1 + v[2]->n * b2);
                    glm::vec2 uv = v[0]->uv * b0 + v[1]->uv * b1 + v[2]->uv * b2;
                    float alpha = 1.0f;
                    glm::vec3 c = shade(t, p, n, uv, alpha);
                    glm::vec4& dst = out.at(x, y);
                    if (blendPass) {
                        dst = glm::vec4(glm::mix(glm::vec3(dst), c, alpha), 1.0f);
                    } else {
                        dst = glm::vec4(c, 1.0f);
                        depth[pix] = z;
                    }
                }
            }
        }
    };
    std::vector<const Triangle*> blended;
    glm::vec3 toCamera = camera.position - camera.target;
    glm::vec2 d = glm::normalize(glm::vec2(toCamera.x, toCamera.z));
    for (const Triangle& t : triangles_) {
        if (t.ring) {
            glm::vec2 q = glm::normalize(glm::vec2(t.ringCentre.x, t.ringCentre.z));
            if (glm::dot(d, q) >= 0.15f) {
                continue;
            }
        }
        if (t.blend) {
            blended.push_back(&t);
        } else {
            raster(t, false);
        }
    }
    for (const Triangle* t : blended) {
        raster(*t, true);
    }
    return out;
}

} // namespace gloam::forge::preview
