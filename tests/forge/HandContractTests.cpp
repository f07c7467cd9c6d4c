// The hand model honours the hand effect's contract: hand parts named so
// the environment rules keep them, materials named after the hand's
// normal-map table, a real skin, and a clip that tells the reaction's
// story when scrubbed by the hand's age.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <string>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"
#include "tests/forge/GltfScene.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace names = gloam::scene_names;
namespace lm = gloam::landmarks;

constexpr double handEventSeconds = 3.65;

std::vector<float> floats(const tinygltf::Model& m, int accessor)
{
    const tinygltf::Accessor& a = m.accessors[static_cast<std::size_t>(accessor)];
    const tinygltf::BufferView& v = m.bufferViews[static_cast<std::size_t>(a.bufferView)];
    std::size_t comps = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type)));
    const auto* p = reinterpret_cast<const float*>(m.buffers[static_cast<std::size_t>(v.buffer)].data.data() +
                                                   v.byteOffset + a.byteOffset);
    return {p, p + a.count * comps};
}

std::vector<std::uint16_t> shorts(const tinygltf::Model& m, int accessor)
{
    const tinygltf::Accessor& a = m.accessors[static_cast<std::size_t>(accessor)];
    const tinygltf::BufferView& v = m.bufferViews[static_cast<std::size_t>(a.bufferView)];
    const auto* p = reinterpret_cast<const std::uint16_t*>(m.buffers[static_cast<std::size_t>(v.buffer)].data.data() +
                                                           v.byteOffset + a.byteOffset);
    return {p, p + a.count * 4};
}

class HandContract : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scene = new GltfScene(resourceFolder() / std::string(gloam::resources::handModel)); }
    static void TearDownTestSuite()
    {
        delete scene;
        scene = nullptr;
    }

    // World matrices of every node at time t of the first clip.
    static std::vector<glm::mat4> pose(float t)
    {
        const tinygltf::Model& m = scene->model();
        std::vector<tinygltf::Node> nodes = m.nodes;
        const tinygltf::Animation& anim = m.animations.at(0);
        for (const tinygltf::AnimationChannel& ch : anim.channels) {
            const tinygltf::AnimationSampler& s = anim.samplers[static_cast<std::size_t>(ch.sampler)];
            std::vector<float> times = floats(m, s.input), values = floats(m, s.output);
            std::size_t comps = ch.target_path == "rotation" ? 4 : 3;
            std::size_t k = 0;
            while (k + 1 < times.size() && times[k + 1] <= t)
                ++k;
            std::size_t k1 = std::min(k + 1, times.size() - 1);
            float f = k1 == k ? 0.0f : std::clamp((t - times[k]) / (times[k1] - times[k]), 0.0f, 1.0f);
            tinygltf::Node& n = nodes[static_cast<std::size_t>(ch.target_node)];
            if (comps == 4) {
                glm::quat a(values[k * 4 + 3], values[k * 4], values[k * 4 + 1], values[k * 4 + 2]);
                glm::quat b(values[k1 * 4 + 3], values[k1 * 4], values[k1 * 4 + 1], values[k1 * 4 + 2]);
                glm::quat q = glm::slerp(a, b, f);
                n.rotation = {q.x, q.y, q.z, q.w};
            } else {
                std::vector<double> v(3);
                for (std::size_t c = 0; c < 3; ++c)
                    v[c] = values[k * 3 + c] + (values[k1 * 3 + c] - values[k * 3 + c]) * f;
                (ch.target_path == "translation" ? n.translation : n.scale) = v;
            }
        }
        std::vector<glm::mat4> world(nodes.size(), glm::mat4(1.0f));
        std::function<void(int, const glm::mat4&)> walk = [&](int i, const glm::mat4& parent) {
            const tinygltf::Node& n = nodes[static_cast<std::size_t>(i)];
            glm::mat4 local(1.0f);
            if (n.translation.size() == 3)
                local = glm::translate(local, glm::vec3(n.translation[0], n.translation[1], n.translation[2]));
            if (n.rotation.size() == 4)
                local *=
                    glm::mat4_cast(glm::quat(static_cast<float>(n.rotation[3]), static_cast<float>(n.rotation[0]),
                                             static_cast<float>(n.rotation[1]), static_cast<float>(n.rotation[2])));
            world[static_cast<std::size_t>(i)] = parent * local;
            for (int c : n.children)
                walk(c, world[static_cast<std::size_t>(i)]);
        };
        for (int r : m.scenes.at(0).nodes)
            walk(r, glm::mat4(1.0f));
        return world;
    }

    // Highest point of the skinned bones at time t.
    static float topOfBones(float t)
    {
        const tinygltf::Model& m = scene->model();
        std::vector<glm::mat4> world = pose(t);
        float top = -1e30f;
        for (const tinygltf::Node& n : m.nodes) {
            if (n.mesh < 0 || n.skin < 0 || n.name.find(names::bones) == std::string::npos)
                continue;
            const tinygltf::Skin& skin = m.skins[static_cast<std::size_t>(n.skin)];
            std::vector<float> ibm = floats(m, skin.inverseBindMatrices);
            for (const tinygltf::Primitive& p : m.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
                std::vector<float> pos = floats(m, p.attributes.at("POSITION")),
                                   weights = floats(m, p.attributes.at("WEIGHTS_0"));
                std::vector<std::uint16_t> joints = shorts(m, p.attributes.at("JOINTS_0"));
                for (std::size_t v = 0; v * 3 < pos.size(); ++v) {
                    glm::mat4 skinMatrix(0.0f);
                    for (std::size_t c = 0; c < 4; ++c) {
                        std::size_t j = joints[v * 4 + c];
                        skinMatrix += world[static_cast<std::size_t>(skin.joints[j])] * glm::make_mat4(&ibm[j * 16]) *
                                      weights[v * 4 + c];
                    }
                    top = std::max(top, (skinMatrix * glm::vec4(pos[v * 3], pos[v * 3 + 1], pos[v * 3 + 2], 1.0f)).y);
                }
            }
        }
        return top;
    }

    static GltfScene* scene;
};

GltfScene* HandContract::scene = nullptr;

TEST_F(HandContract, PartsAndMaterialsCarryTheHandsNames)
{
    bool bones = false, sleeve = false;
    std::set<std::string> materials;
    for (const SceneNode& n : scene->nodes()) {
        if (!n.hasMesh)
            continue;
        bones = bones || n.effectiveName.find(names::bones) != std::string::npos;
        sleeve = sleeve || n.effectiveName.rfind(names::sleevePrefix, 0) == 0;
        // Every part is a hand part, so the graveyard's rules would hide it.
        EXPECT_TRUE(n.effectiveName.find(names::bones) != std::string::npos ||
                    n.effectiveName.rfind(names::sleevePrefix, 0) == 0)
            << n.name;
        materials.insert(n.materials.begin(), n.materials.end());
    }
    EXPECT_TRUE(bones);
    EXPECT_TRUE(sleeve);
    for (std::string_view prefix : names::handMaterialPrefixes) {
        bool found = false;
        for (const std::string& m : materials) {
            found = found || m == prefix || m.rfind(std::string(prefix) + "_", 0) == 0;
        }
        EXPECT_TRUE(found) << "no material takes the " << prefix << " normal map";
    }
}

TEST_F(HandContract, IsSkinnedWithNormalisedWeights)
{
    const tinygltf::Model& m = scene->model();
    ASSERT_EQ(m.skins.size(), 1u);
    EXPECT_GE(m.skins[0].joints.size(), 15u);
    int skinned = 0;
    for (const tinygltf::Node& n : m.nodes) {
        if (n.mesh < 0)
            continue;
        EXPECT_EQ(n.skin, 0) << n.name;
        for (const tinygltf::Primitive& p : m.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
            ASSERT_TRUE(p.attributes.count("JOINTS_0") && p.attributes.count("WEIGHTS_0")) << n.name;
            std::vector<float> w = floats(m, p.attributes.at("WEIGHTS_0"));
            for (std::size_t v = 0; v < w.size(); v += 4) {
                ASSERT_NEAR(w[v] + w[v + 1] + w[v + 2] + w[v + 3], 1.0f, 1e-4f);
            }
            ++skinned;
        }
    }
    EXPECT_GE(skinned, 5);
}

TEST_F(HandContract, ClipCoversTheWholeReaction)
{
    const tinygltf::Model& m = scene->model();
    ASSERT_FALSE(m.animations.empty());
    float duration = 0.0f;
    for (const tinygltf::AnimationSampler& s : m.animations[0].samplers) {
        duration =
            std::max(duration, static_cast<float>(m.accessors[static_cast<std::size_t>(s.input)].maxValues.at(0)));
    }
    EXPECT_GE(duration, handEventSeconds);
}

TEST_F(HandContract, ScrubbingTheClipRisesReachesAndSinks)
{
    float wrist = lm::handWrist.y;
    // Held at its first frame (no reaction) and at the reaction's end, the
    // hand is underground.
    EXPECT_LT(topOfBones(0.0f), 0.05f);
    EXPECT_LT(topOfBones(static_cast<float>(handEventSeconds)), 0.05f);
    // In between it stands out of the mound, fingers well above the wrist.
    EXPECT_GT(topOfBones(1.3f), wrist + 0.2f);
    EXPECT_GT(topOfBones(2.0f), wrist);
    // It rises steadily and sinks steadily.
    EXPECT_LT(topOfBones(0.4f), topOfBones(0.8f));
    EXPECT_GT(topOfBones(2.8f), topOfBones(3.2f));
}

TEST_F(HandContract, BindPoseBoundsAreTheVisibleHand)
{
    // The click box is the model's bounds above the wrist less 5 cm.
    glm::vec3 lo(1e30f), hi(-1e30f);
    for (const SceneNode& n : scene->nodes()) {
        if (n.hasMesh) {
            lo = glm::min(lo, n.min);
            hi = glm::max(hi, n.max);
        }
    }
    float y0 = std::max(lo.y, lm::handWrist.y - 0.05f);
    EXPECT_GT(hi.y - y0, 0.2f);
    EXPECT_LT(hi.y - y0, 0.6f);
    EXPECT_LT(hi.x - lo.x, 0.6f);
    EXPECT_LT(hi.z - lo.z, 0.6f);
    EXPECT_LE(lo.x, lm::handWrist.x);
    EXPECT_GE(hi.x, lm::handWrist.x);
    EXPECT_LE(lo.z, lm::handWrist.z);
    EXPECT_GE(hi.z, lm::handWrist.z);
}

} // namespace
} // namespace gloam::forge::testing
