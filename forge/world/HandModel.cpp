#include "forge/world/HandModel.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "forge/gltf/GltfBuilder.h"
#include "forge/mesh/Noise.h"
#include "forge/mesh/Random.h"
#include "forge/mesh/Shapes.h"
#include "forge/world/SceneFrame.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"

namespace gloam::forge {

namespace {

namespace lm = gloam::landmarks;
constexpr float pi = 3.14159265f;
constexpr float handScale = 1.7f;

float smooth(float a, float b, float t)
{
    float x = std::clamp((t - a) / (b - a), 0.0f, 1.0f);
    return x * x * (3.0f - 2.0f * x);
}

// One joint of the rig, in hand space (wrist at the origin, fingers up +y,
// palm facing +z, thumb towards +x), with identity rest rotations.
struct Joint {
    std::string name;
    int parent;
    glm::vec3 position;
};

// A bone between two points: a shaft with knobbly ends.
Mesh bone(glm::vec3 a, glm::vec3 b, float radius, const Noise& noise)
{
    float length = glm::length(b - a);
    std::vector<glm::vec2> profile{{0.0f, 0.0f},
                                   {radius * 1.25f, 0.08f * length},
                                   {radius * 1.35f, 0.16f * length},
                                   {radius * 0.8f, 0.32f * length},
                                   {radius * 0.7f, 0.55f * length},
                                   {radius * 0.85f, 0.78f * length},
                                   {radius * 1.25f, 0.9f * length},
                                   {radius * 1.1f, 0.97f * length},
                                   {0.0f, length}};
    Mesh m = shapes::lathe(profile, 8, [&](float angle, float y) {
        return 1.0f + 0.12f * noise.at(glm::vec3(std::cos(angle) * 3.0f, y * 60.0f, std::sin(angle) * 3.0f));
    });
    glm::vec3 dir = glm::normalize(b - a);
    glm::vec3 axis = glm::cross(glm::vec3(0, 1, 0), dir);
    float sine = glm::length(axis);
    glm::quat q = sine < 1e-6f ? glm::quat(1, 0, 0, 0) : glm::angleAxis(std::atan2(sine, dir.y), axis / sine);
    return m.transformed(glm::translate(glm::mat4(1.0f), a) * glm::mat4_cast(q));
}

void weightAll(Mesh& m, int joint)
{
    m.joints.assign(m.vertices.size(), glm::u16vec4(static_cast<std::uint16_t>(joint), 0, 0, 0));
    m.weights.assign(m.vertices.size(), glm::vec4(1, 0, 0, 0));
}

} // namespace

void writeHand(const std::filesystem::path& glbPath)
{
    Noise noise(3131);
    Random rng(3132);
    const float s = handScale;
    // ---- the rig
    std::vector<Joint> joints{{"Bones_Arm", -1, glm::vec3(0.0f, -0.3f, -0.06f) * s},
                              {"Bones_Wrist", 0, glm::vec3(0.0f)}};
    struct Finger {
        const char* name;
        glm::vec3 knuckle;
        float lengths[3];
        float splay;
    };
    const Finger fingers[] = {{"Index", {0.027f, 0.082f, 0.004f}, {0.041f, 0.025f, 0.019f}, 0.12f},
                              {"Middle", {0.008f, 0.088f, 0.006f}, {0.045f, 0.028f, 0.02f}, 0.02f},
                              {"Ring", {-0.011f, 0.083f, 0.004f}, {0.042f, 0.026f, 0.019f}, -0.09f},
                              {"Pinky", {-0.028f, 0.073f, 0.0f}, {0.033f, 0.02f, 0.017f}, -0.2f}};
    // Thumb first (three joints from its base), then the four fingers.
    glm::vec3 thumbBase = glm::vec3(0.022f, 0.018f, 0.012f) * s;
    glm::vec3 thumbDir = glm::normalize(glm::vec3(0.75f, 0.7f, 0.35f));
    float thumbLengths[3] = {0.04f, 0.03f, 0.024f};
    {
        glm::vec3 p = thumbBase;
        int parent = 1;
        for (int k = 0; k < 3; ++k) {
            joints.push_back({"Bones_Thumb" + std::to_string(k + 1), parent, p});
            parent = static_cast<int>(joints.size() - 1);
            glm::vec3 d = glm::normalize(thumbDir + glm::vec3(-0.15f, 0.25f, 0.05f) * static_cast<float>(k));
            p += d * thumbLengths[k] * s;
        }
    }
    std::vector<glm::vec3> tips;
    for (const Finger& f : fingers) {
        glm::vec3 p = f.knuckle * s;
        glm::vec3 d = glm::normalize(glm::vec3(std::sin(f.splay), std::cos(f.splay), 0.06f));
        int parent = 1;
        for (int k = 0; k < 3; ++k) {
            joints.push_back({std::string("Bones_") + f.name + std::to_string(k + 1), parent, p});
            parent = static_cast<int>(joints.size() - 1);
            p += d * f.lengths[k] * s;
            d = glm::normalize(d + glm::vec3(0.0f, 0.0f, 0.12f)); // a slight natural curl
        }
        tips.push_back(p);
    }
    // Where each joint's bone ends: its first child, or the tip.
    auto boneEnd = [&](std::size_t j) -> glm::vec3 {
        for (std::size_t c = 0; c < joints.size(); ++c) {
            if (joints[c].parent == static_cast<int>(j) && joints[j].name.find("Wrist") == std::string::npos) {
                return joints[c].position;
            }
        }
        return glm::vec3(0.0f);
    };

    // ---- the bones, rigidly bound
    Mesh fingersMesh, palmMesh, wristMesh, thumbMesh;
    std::size_t fingerIndex = 0;
    for (std::size_t j = 2; j < joints.size(); ++j) {
        glm::vec3 a = joints[j].position;
        glm::vec3 b;
        bool last = j + 1 >= joints.size() || joints[j + 1].parent != static_cast<int>(j);
        if (last) {
            if (joints[j].name.find("Thumb") != std::string::npos) {
                b = a + glm::normalize(thumbDir + glm::vec3(-0.3f, 0.5f, 0.1f)) * thumbLengths[2] * s;
            } else {
                b = tips[fingerIndex++];
            }
        } else {
            b = boneEnd(j);
        }
        bool thumb = joints[j].name.find("Thumb") != std::string::npos;
        Mesh m = bone(a + (b - a) * 0.04f, b - (b - a) * 0.04f, (thumb ? 0.0052f : 0.0046f) * s, noise);
        weightAll(m, static_cast<int>(j));
        (thumb ? thumbMesh : fingersMesh).append(m);
    }
    // Metacarpals from the carpals to each knuckle, on the wrist joint.
    for (const Finger& f : fingers) {
        glm::vec3 knuckle = f.knuckle * s;
        glm::vec3 base = glm::vec3(knuckle.x * 0.45f, 0.022f * s, knuckle.z - 0.004f * s);
        Mesh m = bone(base, knuckle - glm::normalize(knuckle - base) * 0.004f * s, 0.0048f * s, noise);
        weightAll(m, 1);
        palmMesh.append(m);
    }
    // Carpals: a knot of small stones of bone.
    for (int i = 0; i < 8; ++i) {
        Mesh c = shapes::sphere(rng.range(0.006f, 0.009f) * s, 5, 8);
        c.displace([&](glm::vec3 p, glm::vec3) { return 0.0015f * s * noise.at(p * 300.0f); });
        c.recomputeNormals();
        glm::vec3 at(rng.range(-0.02f, 0.02f) * s, rng.range(0.002f, 0.02f) * s, rng.range(-0.006f, 0.006f) * s);
        Mesh placed = c.transformed(glm::translate(glm::mat4(1.0f), at));
        weightAll(placed, 1);
        palmMesh.append(placed);
    }
    // Radius and ulna down into the sleeve, on the arm joint.
    for (int side = -1; side <= 1; side += 2) {
        glm::vec3 top(0.011f * static_cast<float>(side) * s, -0.004f * s, -0.002f * s);
        glm::vec3 bottom = joints[0].position + glm::vec3(0.008f * static_cast<float>(side) * s, 0.0f, 0.0f);
        Mesh m = bone(bottom, top, 0.0065f * s, noise);
        weightAll(m, 0);
        wristMesh.append(m);
    }
    // ---- the sleeve: a ragged cloth tube around the forearm, torn at the cuff.
    Mesh sleeve;
    {
        glm::vec3 base = joints[0].position + glm::vec3(0.0f, -0.06f, 0.0f) * s;
        glm::vec3 cuff = glm::vec3(0.0f, -0.075f, -0.01f) * s;
        int around = 18, rows = 10;
        for (int r = 0; r <= rows; ++r) {
            float t = static_cast<float>(r) / static_cast<float>(rows);
            for (int a = 0; a <= around; ++a) {
                float angle = 2.0f * pi * static_cast<float>(a) / static_cast<float>(around);
                float radius = (0.045f + 0.012f * t + 0.006f * noise.at(glm::vec2(angle * 2.0f, t * 5.0f))) * s;
                glm::vec3 centre = glm::mix(base, cuff, t);
                glm::vec3 n(std::cos(angle), 0.0f, std::sin(angle));
                glm::vec3 p = centre + n * radius;
                if (r == rows) {
                    // Torn hem: long tatters and short bites.
                    float tear = std::abs(noise.fbm(glm::vec2(angle * 3.0f, 4.0f), 3));
                    p.y -= (0.05f * tear + (a % 3 == 0 ? 0.025f : 0.0f)) * s;
                    p += n * 0.01f * s;
                }
                // Folds.
                p += n * 0.004f * s * std::sin(angle * 5.0f + t * 9.0f);
                sleeve.add(p, n, {static_cast<float>(a) / static_cast<float>(around), 1.0f - t});
            }
        }
        for (int r = 0; r < rows; ++r) {
            for (int a = 0; a < around; ++a) {
                auto i0 = static_cast<std::uint32_t>(r * (around + 1) + a);
                auto i1 = i0 + static_cast<std::uint32_t>(around + 1);
                sleeve.quad(i0, i0 + 1, i1 + 1, i1);
            }
        }
        sleeve.recomputeNormals();
        for (Vertex& v : sleeve.vertices) {
            v.normal = -v.normal;
        }
        for (std::size_t i = 0; i + 2 < sleeve.indices.size(); i += 3) {
            std::swap(sleeve.indices[i + 1], sleeve.indices[i + 2]);
        }
        // Two loose rags hanging from the cuff.
        for (int k = 0; k < 2; ++k) {
            float angle = 1.2f + static_cast<float>(k) * 2.6f;
            glm::vec3 n(std::cos(angle), 0.0f, std::sin(angle));
            glm::vec3 top = cuff + n * 0.056f * s;
            std::vector<glm::vec3> path{top, top + (n * 0.012f + glm::vec3(0, -0.04f, 0)) * s,
                                        top + (n * 0.02f + glm::vec3(0, -0.085f, 0)) * s};
            Mesh rag = shapes::tube(path, {0.009f * s, 0.007f * s, 0.003f * s}, 4, false);
            sleeve.append(rag);
        }
        weightAll(sleeve, 0);
    }

    // ---- place the rig in the scene: wrist on the wrist point, palm to the
    // default view.
    glm::vec3 wrist(lm::handWrist.x, lm::handWrist.y, lm::handWrist.z);
    glm::vec3 toView = -frame::houseDirection();
    glm::vec3 zAxis = toView, yAxis(0, 1, 0), xAxis = glm::normalize(glm::cross(yAxis, zAxis));
    glm::mat4 orient(glm::vec4(xAxis, 0), glm::vec4(yAxis, 0), glm::vec4(zAxis, 0), glm::vec4(0, 0, 0, 1));
    glm::quat handRotation = glm::quat_cast(orient) * glm::angleAxis(0.2f, glm::vec3(1, 0, 0));
    glm::mat4 handToWorld = glm::translate(glm::mat4(1.0f), wrist) * glm::mat4_cast(handRotation);

    GltfBuilder gltf;
    MaterialSpec boneSpec;
    boneSpec.baseColor = {0.78f, 0.74f, 0.64f, 1.0f};
    boneSpec.roughness = 0.7f;
    auto material = [&](const std::string& name, glm::vec3 colour, float roughness, bool doubleSided) {
        MaterialSpec m = boneSpec;
        m.name = name;
        m.baseColor = glm::vec4(colour, 1.0f);
        m.roughness = roughness;
        m.doubleSided = doubleSided;
        return gltf.material(m);
    };
    int top = gltf.addNode(std::string(scene_names::envPrefix) + "BonesHand");
    std::vector<int> jointNodes;
    for (std::size_t j = 0; j < joints.size(); ++j) {
        Transform t;
        if (joints[j].parent < 0) {
            glm::vec3 rootWorld = glm::vec3(handToWorld * glm::vec4(joints[j].position, 1.0f));
            t.translation = rootWorld;
            t.rotation = handRotation;
            jointNodes.push_back(gltf.addNode(joints[j].name, top, t));
        } else {
            t.translation = joints[j].position - joints[static_cast<std::size_t>(joints[j].parent)].position;
            jointNodes.push_back(
                gltf.addNode(joints[j].name, jointNodes[static_cast<std::size_t>(joints[j].parent)], t));
        }
    }
    std::vector<glm::mat4> inverseBind;
    for (const Joint& j : joints) {
        inverseBind.push_back(glm::inverse(handToWorld * glm::translate(glm::mat4(1.0f), j.position)));
    }
    int skin = gltf.addSkin("HandSkin", jointNodes, inverseBind, jointNodes[0]);
    struct Part {
        const char* node;
        Mesh* mesh;
        int material;
    };
    // Bones keep the pale bone colour; the scene whitens palm and thumb.
    Part parts[] = {
        {"Env_Bones_Fingers_BonesSkin", &fingersMesh, material("BonesSkin", {0.74f, 0.7f, 0.6f}, 0.7f, false)},
        {"Env_Bones_Palm_BonesPalm", &palmMesh, material("BonesPalm", {0.8f, 0.77f, 0.68f}, 0.7f, false)},
        {"Env_Bones_Wrist_BonesWrist", &wristMesh, material("BonesWrist", {0.7f, 0.66f, 0.56f}, 0.75f, false)},
        {"Env_Bones_Thumb_BonesThumb", &thumbMesh, material("BonesThumb", {0.8f, 0.77f, 0.68f}, 0.7f, false)},
        {"Env_SleeveRagged_Sleeve", &sleeve, material("Sleeve", {0.12f, 0.11f, 0.1f}, 0.95f, true)},
    };
    for (Part& p : parts) {
        Mesh world = p.mesh->transformed(handToWorld);
        world.joints = p.mesh->joints;
        world.weights = p.mesh->weights;
        world.boxUvs(0.15f);
        // Skinned meshes stand at the root: joints alone place them.
        int node = gltf.addNode(p.node);
        gltf.setMesh(node, p.node, {{&world, p.material}});
        gltf.setSkin(node, skin);
    }

    // ---- the clip: underground, rise, reach, claw, claw, sink.
    std::vector<float> times;
    for (float t = 0.0f; t <= handClipSeconds + 1e-4f; t += 0.05f) {
        times.push_back(std::min(t, handClipSeconds));
    }
    std::vector<GltfBuilder::Channel> channels;
    auto level = [](float t) { return smooth(0.2f, 1.0f, t) * (1.0f - smooth(2.55f, 3.4f, t)); };
    auto curl = [&](float t, float phase) {
        float u = t - phase;
        float fist = 1.25f;
        float open = fist * (1.0f - smooth(0.55f, 1.15f, u));
        float claw = 0.95f * std::exp(-std::pow((u - 1.85f) / 0.12f, 2.0f)) +
                     1.05f * std::exp(-std::pow((u - 2.3f) / 0.13f, 2.0f));
        float close = fist * smooth(2.45f, 3.2f, u);
        return std::max({open, claw, close, -0.08f}) - 0.08f * smooth(1.1f, 1.3f, u) * (1.0f - smooth(1.6f, 1.75f, u));
    };
    {
        GltfBuilder::Channel translation{jointNodes[0], "translation", times, {}};
        GltfBuilder::Channel rotation{jointNodes[0], "rotation", times, {}};
        glm::vec3 rootWorld = glm::vec3(handToWorld * glm::vec4(joints[0].position, 1.0f));
        for (float t : times) {
            float l = level(t);
            float reach = smooth(1.0f, 1.5f, t) * (1.0f - smooth(2.5f, 3.0f, t));
            float lean = 0.3f * (1.0f - l) + 0.22f * reach + 0.05f * std::sin(t * 7.0f) * reach;
            float sway = 0.12f * std::sin(t * 2.3f) * l;
            glm::vec3 offset(0.0f, -0.62f * (1.0f - l), 0.0f);
            offset += toView * (0.05f * reach);
            translation.values.push_back(glm::vec4(rootWorld + offset, 0.0f));
            glm::quat q = glm::quat_cast(orient) * glm::angleAxis(0.2f + lean, glm::vec3(1, 0, 0)) *
                          glm::angleAxis(sway, glm::vec3(0, 0, 1));
            rotation.values.push_back(glm::vec4(q.x, q.y, q.z, q.w));
        }
        channels.push_back(translation);
        channels.push_back(rotation);
    }
    {
        GltfBuilder::Channel rotation{jointNodes[1], "rotation", times, {}};
        for (float t : times) {
            float reach = smooth(1.0f, 1.4f, t) * (1.0f - smooth(1.6f, 1.8f, t));
            float clawing = smooth(1.65f, 1.85f, t) * (1.0f - smooth(2.5f, 2.8f, t));
            float flex = -0.35f * reach + 0.3f * clawing + 0.12f * std::sin(t * 9.0f) * clawing;
            glm::quat q = glm::angleAxis(flex, glm::vec3(1, 0, 0)) *
                          glm::angleAxis(0.25f * std::sin(t * 1.7f), glm::vec3(0, 1, 0));
            rotation.values.push_back(glm::vec4(q.x, q.y, q.z, q.w));
        }
        channels.push_back(rotation);
    }
    for (std::size_t j = 2; j < joints.size(); ++j) {
        const std::string& name = joints[j].name;
        bool thumb = name.find("Thumb") != std::string::npos;
        int segment = name.back() - '1';
        float phase = thumb ? 0.05f : 0.03f * static_cast<float>((j - 5) / 3);
        GltfBuilder::Channel rotation{jointNodes[j], "rotation", times, {}};
        for (float t : times) {
            float c = curl(t, phase) * (segment == 0 ? 1.0f : (segment == 1 ? 1.15f : 0.85f));
            glm::quat q;
            if (thumb) {
                // The thumb folds across the palm.
                q = glm::angleAxis(c * 0.55f, glm::normalize(glm::vec3(-0.55f, 0.6f, 0.0f)));
            } else {
                float spread =
                    segment == 0 ? 0.12f * (1.0f - std::min(c, 1.0f)) * (static_cast<float>((j - 5) / 3) - 1.5f) * -0.5f
                                 : 0.0f;
                q = glm::angleAxis(spread, glm::vec3(0, 0, 1)) * glm::angleAxis(c, glm::vec3(1, 0, 0));
            }
            rotation.values.push_back(glm::vec4(q.x, q.y, q.z, q.w));
        }
        channels.push_back(rotation);
    }
    gltf.addAnimation("HandReach", channels);
    gltf.write(glbPath);
}

} // namespace gloam::forge
