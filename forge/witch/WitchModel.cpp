#include "forge/witch/WitchModel.h"

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
#include "resources/SceneNames.h"

namespace gloam::forge {

namespace {

constexpr float pi = 3.14159265f;

Mesh limb(std::vector<glm::vec3> path, std::vector<float> radii, int sides = 10)
{
    return shapes::tube(path, radii, sides, true);
}

Mesh ball(glm::vec3 centre, glm::vec3 radii)
{
    return shapes::sphere(1.0f, 10, 16)
        .transformed(glm::translate(glm::mat4(1.0f), centre) * glm::scale(glm::mat4(1.0f), radii));
}

// A sheet between two edges, bulging towards +z in the middle, with both
// faces (the material is double sided).
Mesh sheetBetween(const std::vector<glm::vec3>& upper, const std::vector<glm::vec3>& lower, float bulge, int rows)
{
    Mesh m;
    int cols = static_cast<int>(upper.size());
    for (int r = 0; r <= rows; ++r) {
        float v = static_cast<float>(r) / rows;
        for (int c = 0; c < cols; ++c) {
            glm::vec3 p = glm::mix(upper[static_cast<std::size_t>(c)], lower[static_cast<std::size_t>(c)], v);
            p.z += bulge * std::sin(pi * v);
            m.add(p, glm::vec3(0, 0, 1), glm::vec2(static_cast<float>(c) / static_cast<float>(cols - 1), v));
        }
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c + 1 < cols; ++c) {
            auto i = static_cast<std::uint32_t>(r * cols + c);
            auto below = i + static_cast<std::uint32_t>(cols);
            m.quad(i, below, below + 1, i + 1);
        }
    }
    m.recomputeNormals();
    return m;
}

} // namespace

void writeWitch(const std::filesystem::path& glbPath)
{
    Random rng(7171);
    Noise noise(7172);
    GltfBuilder gltf;
    auto material = [&](const char* name, glm::vec3 colour, float roughness) {
        MaterialSpec m;
        m.name = name;
        m.baseColor = glm::vec4(colour, 1.0f);
        m.roughness = roughness;
        m.doubleSided = true;
        return gltf.material(m);
    };
    int cloth = material("WitchCloth", {0.05f, 0.04f, 0.07f}, 0.9f);
    int skin = material("WitchSkin", {0.35f, 0.45f, 0.3f}, 0.7f);
    int wood = material("BroomWood", {0.25f, 0.16f, 0.08f}, 0.8f);
    int straw = material("BroomStraw", {0.45f, 0.36f, 0.18f}, 0.9f);
    int hair = material("WitchHair", {0.08f, 0.08f, 0.08f}, 0.8f);

    int root = gltf.addNode("Witch");
    // The whole figure rides nose-up, climbing as she flies.
    Transform lean;
    lean.rotation = glm::angleAxis(-0.22f, glm::vec3(0, 0, 1));
    int body = gltf.addNode("WitchBody", root, lean);

    // ---- the broom: a crooked stick and a flared bundle of straw.
    Mesh stick = limb({{-0.98f, 0.04f, 0.0f}, {-0.6f, 0.0f, 0.0f}, {-0.1f, -0.06f, 0.0f}, {0.55f, -0.1f, 0.0f}},
                      {0.018f, 0.022f, 0.024f, 0.026f}, 8);
    stick.append(ball({-0.98f, 0.04f, 0.0f}, glm::vec3(0.03f)));
    gltf.addMeshNode("BroomStick", body, stick, wood);
    Mesh bristles;
    bristles.append(limb({{0.5f, -0.1f, 0.0f}, {0.6f, -0.1f, 0.0f}}, {0.05f, 0.052f}, 12));
    for (int k = 0; k < 26; ++k) {
        float a = 2.0f * pi * static_cast<float>(k) / 26.0f + rng.range(-0.1f, 0.1f);
        float spread = rng.range(0.1f, 0.19f);
        float length = rng.range(0.42f, 0.58f);
        glm::vec3 start(0.58f, -0.1f + 0.03f * std::sin(a), 0.03f * std::cos(a));
        glm::vec3 end(0.58f + length, -0.1f + spread * std::sin(a) - 0.04f, spread * std::cos(a));
        glm::vec3 mid = glm::mix(start, end, 0.5f) + glm::vec3(0.0f, 0.02f * std::sin(a), 0.0f);
        bristles.append(limb({start, mid, end}, {0.03f, 0.022f, 0.004f}, 5));
    }
    gltf.addMeshNode("BroomBristles", body, bristles, straw);

    // ---- the witch, sitting side-saddle-ish astride the stick, leaning
    // forward towards -x.
    glm::vec3 hips(0.04f, 0.02f, 0.0f), shoulders(-0.13f, 0.42f, 0.0f), headCentre(-0.21f, 0.56f, 0.0f);
    Mesh torso = limb({hips, glm::mix(hips, shoulders, 0.5f) + glm::vec3(0.02f, 0.0f, 0.0f), shoulders},
                      {0.13f, 0.11f, 0.095f}, 12);
    torso.append(limb({shoulders, headCentre + glm::vec3(0.02f, -0.06f, 0.0f)}, {0.045f, 0.04f}, 8)); // neck
    // Skirt: a ragged bell from the waist down past the knees.
    {
        Mesh skirt;
        int around = 28, rows = 6;
        glm::vec3 waist = hips + glm::vec3(0.0f, 0.06f, 0.0f);
        for (int r = 0; r <= rows; ++r) {
            float t = static_cast<float>(r) / rows;
            for (int a = 0; a <= around; ++a) {
                float angle = 2.0f * pi * static_cast<float>(a) / around;
                float rx = 0.13f + 0.2f * t, rz = 0.12f + 0.1f * t;
                glm::vec3 p = waist + glm::vec3(std::cos(angle) * rx - 0.1f * t, -0.36f * t, std::sin(angle) * rz);
                if (r == rows) {
                    // Tatters: long points and short bites, trailing back in the wind.
                    p.y -= (a % 2 == 0 ? 0.09f : 0.0f) + 0.03f * noise.at(glm::vec2(angle * 3.0f, 1.0f));
                    p.x += (a % 2 == 0 ? 0.06f : 0.0f);
                }
                p.x += 0.08f * t * t; // blown back
                skirt.add(p, glm::vec3(std::cos(angle), 0.0f, std::sin(angle)),
                          glm::vec2(static_cast<float>(a) / around, t));
            }
        }
        for (int r = 0; r < rows; ++r) {
            for (int a = 0; a < around; ++a) {
                auto i0 = static_cast<std::uint32_t>(r * (around + 1) + a);
                auto i1 = i0 + static_cast<std::uint32_t>(around + 1);
                skirt.quad(i0, i1, i1 + 1, i0 + 1);
            }
        }
        skirt.recomputeNormals();
        torso.append(skirt);
    }
    // Arms reaching forward to the stick.
    for (int side = -1; side <= 1; side += 2) {
        float z = 0.09f * static_cast<float>(side);
        glm::vec3 shoulder = shoulders + glm::vec3(0.0f, -0.02f, z);
        glm::vec3 elbow(-0.3f + 0.03f * static_cast<float>(side), 0.22f, z * 1.3f);
        glm::vec3 hand(side < 0 ? -0.52f : -0.42f, 0.02f, 0.03f * static_cast<float>(side));
        torso.append(limb({shoulder, elbow, hand}, {0.045f, 0.038f, 0.032f}, 8));
    }
    gltf.addMeshNode("WitchTorso", body, torso, cloth);
    Mesh hands = ball({-0.52f, 0.01f, -0.03f}, {0.04f, 0.035f, 0.035f});
    hands.append(ball({-0.42f, 0.01f, 0.03f}, {0.04f, 0.035f, 0.035f}));
    // Head with a hooked nose and a pointed chin.
    Mesh head = ball(headCentre, {0.085f, 0.095f, 0.08f});
    head.append(limb({headCentre + glm::vec3(-0.07f, 0.0f, 0.0f), headCentre + glm::vec3(-0.13f, -0.01f, 0.0f),
                      headCentre + glm::vec3(-0.16f, -0.045f, 0.0f)},
                     {0.024f, 0.016f, 0.003f}, 8));
    head.append(limb({headCentre + glm::vec3(-0.05f, -0.07f, 0.0f), headCentre + glm::vec3(-0.1f, -0.1f, 0.0f)},
                     {0.03f, 0.004f}, 8));
    gltf.addMeshNode("WitchHead", body, head, skin);
    gltf.addMeshNode("WitchHands", body, hands, skin);
    // Hat: a wide brim and a tall cone that bends back at the tip.
    {
        glm::vec3 crown = headCentre + glm::vec3(0.01f, 0.07f, 0.0f);
        Mesh brim =
            shapes::lathe({{0.0f, -0.008f}, {0.19f, -0.004f}, {0.2f, 0.0f}, {0.19f, 0.006f}, {0.0f, 0.008f}}, 24);
        brim = brim.transformed(glm::translate(glm::mat4(1.0f), crown) *
                                glm::rotate(glm::mat4(1.0f), 0.12f, glm::vec3(0, 0, 1)));
        Mesh cone = limb({crown, crown + glm::vec3(0.02f, 0.13f, 0.0f), crown + glm::vec3(0.07f, 0.25f, 0.0f),
                          crown + glm::vec3(0.16f, 0.32f, 0.0f), crown + glm::vec3(0.26f, 0.33f, 0.0f)},
                         {0.1f, 0.07f, 0.045f, 0.022f, 0.003f}, 12);
        brim.append(cone);
        gltf.addMeshNode("WitchHat", body, brim, cloth);
    }
    // Hair streaming back from under the hat.
    {
        Mesh strands;
        for (int k = 0; k < 7; ++k) {
            float z = rng.range(-0.06f, 0.06f);
            glm::vec3 start = headCentre + glm::vec3(0.05f, 0.02f - 0.015f * static_cast<float>(k), z);
            float length = rng.range(0.22f, 0.34f);
            std::vector<glm::vec3> path;
            for (int s = 0; s <= 4; ++s) {
                float t = static_cast<float>(s) / 4.0f;
                path.push_back(start + glm::vec3(length * t,
                                                 -0.12f * t - 0.03f * std::sin(t * 5.0f + static_cast<float>(k)),
                                                 z * t));
            }
            strands.append(limb(path, {0.022f, 0.02f, 0.016f, 0.01f, 0.003f}, 6));
        }
        gltf.addMeshNode("WitchHair", body, strands, hair);
    }
    // Legs: knees forward, shins hanging, pointed shoes curling up.
    {
        Mesh legs;
        for (int side = -1; side <= 1; side += 2) {
            float z = 0.08f * static_cast<float>(side);
            float back = side > 0 ? 0.0f : 0.08f; // the far leg trails a little
            glm::vec3 hip = hips + glm::vec3(0.0f, -0.02f, z);
            glm::vec3 knee(-0.2f + back, -0.04f, z * 1.2f);
            glm::vec3 ankle(-0.16f + back * 1.6f, -0.36f, z * 1.1f);
            legs.append(limb({hip, knee, ankle}, {0.06f, 0.045f, 0.032f}, 8));
            legs.append(limb({ankle + glm::vec3(0.03f, 0.0f, 0.0f), ankle + glm::vec3(-0.08f, -0.03f, 0.0f),
                              ankle + glm::vec3(-0.17f, -0.01f, 0.0f), ankle + glm::vec3(-0.21f, 0.05f, 0.0f)},
                             {0.04f, 0.035f, 0.015f, 0.003f}, 8));
        }
        gltf.addMeshNode("WitchLegs", body, legs, cloth);
    }
    // ---- the cape, its node at the shoulders: it streams back and down
    // behind her with a tattered trailing edge.
    {
        Transform at;
        at.translation = shoulders;
        std::vector<glm::vec3> upper, lower;
        const int cols = 18;
        for (int c = 0; c < cols; ++c) {
            float u = static_cast<float>(c) / (cols - 1);
            float length = 0.95f;
            glm::vec3 top(u * length, -0.04f * u + 0.03f * std::sin(u * 7.0f), 0.0f);
            float drop = 0.12f + 0.26f * u + 0.04f * std::sin(u * 9.0f + 1.0f);
            if (c == cols - 1 || c % 3 == 2) {
                drop += 0.08f * u; // tatters
            }
            glm::vec3 bottom = top + glm::vec3(0.04f + 0.1f * u, -drop, 0.0f);
            top.z = 0.02f * std::sin(u * 8.0f);
            bottom.z = top.z;
            upper.push_back(top);
            lower.push_back(bottom);
        }
        Mesh cape = sheetBetween(upper, lower, 0.08f, 6);
        // Tie: a collar round the neck.
        cape.append(
            limb({{-0.02f, 0.0f, -0.07f}, {-0.05f, 0.01f, 0.0f}, {-0.02f, 0.0f, 0.07f}}, {0.02f, 0.022f, 0.02f}, 6));
        int capeNode = gltf.addNode(std::string(scene_names::witchCape), body, at);
        gltf.setMesh(capeNode, "WitchCape", {{&cape, cloth}});
    }
    gltf.write(glbPath);
}

} // namespace gloam::forge
