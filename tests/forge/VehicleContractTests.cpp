// The vehicle models honour the vehicle dressing's contract: sizes of the
// catalogue, one big untextured cloth, two dark eyes, textured lamps where
// the names say, a clip that loops without a jump; the first vehicle's
// rear light bar sits proud of its sheet where the scene puts its lights.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <glm/geometric.hpp>

#include "engine/prefs/Vehicle.h"
#include "resources/ResourceFiles.h"
#include "resources/SceneLandmarks.h"
#include "resources/SceneNames.h"
#include "tests/forge/GltfScene.h"
#include "tests/forge/ResourceFolder.h"

namespace gloam::forge::testing {
namespace {

namespace names = gloam::scene_names;
namespace lm = gloam::landmarks;

bool contains(const std::string& s, std::string_view part)
{
    return s.find(part) != std::string::npos;
}

std::vector<float> floats(const tinygltf::Model& m, int accessor)
{
    const tinygltf::Accessor& a = m.accessors[static_cast<std::size_t>(accessor)];
    const tinygltf::BufferView& v = m.bufferViews[static_cast<std::size_t>(a.bufferView)];
    std::size_t comps = static_cast<std::size_t>(tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type)));
    const auto* p = reinterpret_cast<const float*>(m.buffers[static_cast<std::size_t>(v.buffer)].data.data() +
                                                   v.byteOffset + a.byteOffset);
    return {p, p + a.count * comps};
}

// Positions of a node's mesh in world space (bind pose).
std::vector<glm::vec3> worldPositions(const GltfScene& scene, const SceneNode& node)
{
    std::vector<glm::vec3> out;
    const tinygltf::Model& m = scene.model();
    const tinygltf::Node& n = m.nodes[static_cast<std::size_t>(node.index)];
    for (const tinygltf::Primitive& p : m.meshes[static_cast<std::size_t>(n.mesh)].primitives) {
        std::vector<float> f = floats(m, p.attributes.at("POSITION"));
        for (std::size_t i = 0; i + 2 < f.size(); i += 3) {
            out.emplace_back(node.world * glm::vec4(f[i], f[i + 1], f[i + 2], 1.0f));
        }
    }
    return out;
}

const tinygltf::Material& firstMaterial(const GltfScene& scene, const SceneNode& node)
{
    const tinygltf::Model& m = scene.model();
    const tinygltf::Mesh& mesh = m.meshes[static_cast<std::size_t>(m.nodes[static_cast<std::size_t>(node.index)].mesh)];
    return m.materials.at(static_cast<std::size_t>(mesh.primitives.at(0).material));
}

float luminance(const std::vector<double>& c)
{
    return static_cast<float>(0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]);
}

std::string fileOf(Vehicle v)
{
    std::string_view asset = gloam::asset(v);
    return std::string(asset);
}

class VehicleContract : public ::testing::TestWithParam<Vehicle> {
protected:
    GltfScene scene{resourceFolder() / fileOf(GetParam())};

    std::vector<const SceneNode*> meshNodes() const
    {
        std::vector<const SceneNode*> out;
        for (const SceneNode& n : scene.nodes()) {
            if (n.hasMesh)
                out.push_back(&n);
        }
        return out;
    }
    const SceneNode& cloth() const
    {
        const SceneNode* best = nullptr;
        std::size_t most = 0;
        for (const SceneNode* n : meshNodes()) {
            std::size_t count = worldPositions(scene, *n).size();
            if (count > most) {
                most = count;
                best = n;
            }
        }
        return *best;
    }
};

TEST_P(VehicleContract, FileIsOneOfTheResourceFolderModels)
{
    // The catalogue names a file the forge wrote, and no other vehicle's.
    const std::string file = fileOf(GetParam());
    EXPECT_TRUE(std::filesystem::is_regular_file(resourceFolder() / file)) << file << " is not in the forged folder";
    for (Vehicle other : gloam::allVehicles) {
        if (other != GetParam()) {
            EXPECT_NE(fileOf(other), file) << "shared with " << gloam::rawValue(other);
        }
    }
}

TEST(VehicleModels, TheForgedFolderHoldsExactlyTheCataloguesVehicles)
{
    std::set<std::string> forged, catalogue;
    for (const auto& entry : std::filesystem::directory_iterator(resourceFolder())) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 9 && name.compare(name.size() - 9, 9, "Ghost.glb") == 0) {
            forged.insert(name);
        }
    }
    for (Vehicle vehicle : gloam::allVehicles) {
        catalogue.insert(fileOf(vehicle));
    }
    EXPECT_EQ(forged, catalogue);
}

TEST_P(VehicleContract, MatchesTheCataloguesMeasurementsStandingOnTheGround)
{
    glm::vec3 min(1e30f), max(-1e30f);
    for (const SceneNode* n : meshNodes()) {
        min = glm::min(min, n->min);
        max = glm::max(max, n->max);
    }
    const float halfLength = gloam::halfLength(GetParam()), top = gloam::top(GetParam());
    EXPECT_NEAR(max.x, halfLength, 0.05f) << "rear";
    EXPECT_NEAR(-min.x, halfLength, 0.05f) << "front";
    EXPECT_NEAR(max.y, top, 0.05f) << "roof";
    EXPECT_NEAR(min.y, 0.0f, 0.01f) << "stands on the ground";
    // Inside the footprint the props keep clear of, under the contact shadow.
    EXPECT_LT(std::max(max.z, -min.z), lm::vehicleHalfWidth);
    EXPECT_LT(std::max(max.z, -min.z) * 2.0f, gloam::shadowSize(GetParam()).y);
    EXPECT_LT(std::max(max.x, -min.x) * 2.0f, gloam::shadowSize(GetParam()).x);
    // Roughly symmetric about the long axis.
    EXPECT_NEAR(max.z, -min.z, 0.05f);
}

TEST_P(VehicleContract, ClothIsOneDoubleSidedUntexturedSheetWithAWavyHem)
{
    const SceneNode& sheet = cloth();
    const tinygltf::Material& m = firstMaterial(scene, sheet);
    EXPECT_FALSE(sheet.baseColourTextured) << "untextured materials become the cloth";
    EXPECT_TRUE(m.doubleSided);
    EXPECT_FALSE(contains(sheet.name, names::vehicleEye));
    // It drapes the whole car: nearly all of its length and height.
    EXPECT_GT(sheet.max.x - sheet.min.x, 2.0f * gloam::halfLength(GetParam()) - 0.1f);
    EXPECT_GT(sheet.max.y, gloam::top(GetParam()) - 0.05f);
    // The hem: the lowest point of each column around the car. It waves
    // (several centimetres up and down) and stays off the ground.
    std::vector<glm::vec3> p = worldPositions(scene, sheet);
    std::vector<float> lowByAngle(36, 1e9f);
    for (const glm::vec3& v : p) {
        float a = std::atan2(v.z, v.x / 2.5f);
        auto bin = static_cast<std::size_t>(std::clamp((a + 3.14159265f) / (2.0f * 3.14159265f) * 36.0f, 0.0f, 35.0f));
        lowByAngle[bin] = std::min(lowByAngle[bin], v.y);
    }
    float lo = *std::min_element(lowByAngle.begin(), lowByAngle.end());
    float hi = *std::max_element(lowByAngle.begin(), lowByAngle.end());
    EXPECT_GT(lo, 0.03f);
    EXPECT_GT(hi - lo, 0.06f) << "a wavy hem";
    EXPECT_LT(hi, 0.7f) << "the sheet hangs well down the sides";
    // The sheet is skinned: it carries the clip.
    EXPECT_GE(scene.model().nodes[static_cast<std::size_t>(sheet.index)].skin, 0);
}

TEST_P(VehicleContract, TwoDarkEyesLookForwardFromTheWindscreen)
{
    std::vector<const SceneNode*> eyes;
    for (const SceneNode* n : meshNodes()) {
        if (contains(n->name, names::vehicleEye))
            eyes.push_back(n);
    }
    ASSERT_EQ(eyes.size(), 2u);
    const SceneNode& sheet = cloth();
    std::vector<glm::vec3> sheetPoints = worldPositions(scene, sheet);
    for (const SceneNode* e : eyes) {
        const tinygltf::Material& m = firstMaterial(scene, *e);
        EXPECT_LT(luminance(m.pbrMetallicRoughness.baseColorFactor), 0.05f) << e->name;
        glm::vec3 c = (e->min + e->max) * 0.5f;
        EXPECT_LT(c.x, 0.0f) << "in the front half";
        EXPECT_GT(c.y, 0.5f * gloam::top(GetParam())) << "high up on the ghost";
        // Sitting on the sheet, not sunk into it or floating: the nearest
        // sheet point is within a few centimetres.
        float nearest = 1e9f;
        for (const glm::vec3& s : sheetPoints)
            nearest = std::min(nearest, glm::length(s - c));
        EXPECT_LT(nearest, 0.08f) << e->name;
    }
    EXPECT_LT(((eyes[0]->min + eyes[0]->max) * 0.5f).z * ((eyes[1]->min + eyes[1]->max) * 0.5f).z, 0.0f)
        << "one each side";
}

TEST_P(VehicleContract, LampsAreTexturedLitPartsWhereTheirNamesSay)
{
    int front = 0, rear = 0, rearCorner = 0;
    const float halfLength = gloam::halfLength(GetParam());
    for (const SceneNode* n : meshNodes()) {
        bool named = contains(n->name, names::vehicleRear) || contains(n->name, names::vehicleCorner);
        bool lamp = contains(n->name, "lamp") || contains(n->name, "Lamp");
        glm::vec3 c = (n->min + n->max) * 0.5f;
        if (named) {
            EXPECT_TRUE(n->baseColourTextured) << n->name << ": rear parts glow through their texture";
            EXPECT_GT(c.x, 0.8f * halfLength) << n->name << " sits at the rear";
            ++rear;
            rearCorner += contains(n->name, names::vehicleRear) && contains(n->name, names::vehicleCorner) ? 1 : 0;
        }
        if (lamp) {
            const tinygltf::Material& m = firstMaterial(scene, *n);
            EXPECT_TRUE(n->baseColourTextured) << n->name;
            EXPECT_GT(luminance(m.emissiveFactor), 0.05f) << n->name << " glows";
            EXPECT_GT(std::abs(c.x), 0.8f * halfLength) << n->name << " at an end of the car";
            front += c.x < 0.0f ? 1 : 0;
        }
        if (n->baseColourTextured && !lamp) {
            // Other textured parts (tyres, underbody) must not glow, and must
            // not catch the brighter rear rule by name.
            EXPECT_FALSE(named) << n->name;
            EXPECT_LT(luminance(firstMaterial(scene, *n).emissiveFactor), 1e-6f) << n->name;
        }
    }
    EXPECT_GE(front, 2) << "two headlamps";
    if (GetParam() == Vehicle::corsel) {
        EXPECT_EQ(rear, 0) << "the saloon's rear lights are the separate light bar";
    } else {
        EXPECT_GE(rearCorner, 2) << "bright rear corner lamps";
    }
}

TEST_P(VehicleContract, OneClipThatBreathesAndLoopsWithoutAJump)
{
    const tinygltf::Model& m = scene.model();
    ASSERT_GE(m.animations.size(), 1u);
    const tinygltf::Animation& clip = m.animations[0];
    float duration = 0.0f, moved = 0.0f;
    bool scaled = false;
    for (const tinygltf::AnimationChannel& ch : clip.channels) {
        const tinygltf::AnimationSampler& s = clip.samplers[static_cast<std::size_t>(ch.sampler)];
        std::vector<float> times = floats(m, s.input), values = floats(m, s.output);
        ASSERT_FALSE(times.empty());
        EXPECT_NEAR(times.front(), 0.0f, 1e-6f);
        duration = std::max(duration, times.back());
        std::size_t comps = values.size() / times.size();
        for (std::size_t c = 0; c < comps; ++c) {
            EXPECT_NEAR(values[c], values[values.size() - comps + c], 1e-4f)
                << "channel " << ch.target_node << " " << ch.target_path;
            for (std::size_t k = 0; k < times.size(); ++k)
                moved = std::max(moved, std::abs(values[k * comps + c] - values[c]));
        }
        scaled = scaled || ch.target_path == "scale";
    }
    // Every channel spans the whole clip, so the loop point is the same for all.
    for (const tinygltf::AnimationChannel& ch : clip.channels) {
        EXPECT_NEAR(floats(m, clip.samplers[static_cast<std::size_t>(ch.sampler)].input).back(), duration, 1e-5f);
    }
    EXPECT_GE(duration, 2.0f);
    EXPECT_LE(duration, 8.0f);
    EXPECT_GT(moved, 0.005f) << "the clip moves the sheet";
    EXPECT_TRUE(scaled) << "the sheet breathes";
}

INSTANTIATE_TEST_SUITE_P(Vehicles, VehicleContract, ::testing::ValuesIn(gloam::allVehicles),
                         [](const ::testing::TestParamInfo<Vehicle>& param) {
                             return std::string(gloam::rawValue(param.param));
                         });

TEST(RearLightsContract, LightBarSitsProudOfTheSaloonsSheetWhereTheSceneLightsIt)
{
    GltfScene lights(resourceFolder() / std::string(gloam::resources::rearLightsModel));
    GltfScene corsel(resourceFolder() / fileOf(Vehicle::corsel));
    int amber = 0, red = 0;
    glm::vec3 min(1e30f), max(-1e30f);
    float lensFront = -1e9f;
    for (const SceneNode& n : lights.nodes()) {
        if (!n.hasMesh)
            continue;
        min = glm::min(min, n.min);
        max = glm::max(max, n.max);
        bool isAmber = contains(n.name, names::rearAmberCore), isRed = contains(n.name, names::rearRedGuide);
        amber += isAmber ? 1 : 0;
        red += isRed ? 1 : 0;
        const tinygltf::Material& m = firstMaterial(lights, n);
        EXPECT_EQ(m.extensions.size(), 0u) << "plain physically based materials";
        if (isAmber || isRed) {
            EXPECT_GT(luminance(m.emissiveFactor), 0.05f) << n.name;
            EXPECT_NEAR((n.min.y + n.max.y) * 0.5f, lm::rearLightY, 0.03f) << n.name;
            lensFront = std::max(lensFront, n.max.x);
        }
        if (isAmber) {
            // Each amber core sits on one of the scene's red point lights.
            glm::vec3 c = (n.min + n.max) * 0.5f;
            EXPECT_NEAR(std::abs(c.z), lm::rearLightSpread, 0.05f) << n.name;
        }
    }
    EXPECT_GE(amber, 1);
    EXPECT_GE(red, 1);
    glm::vec3 centre = (min + max) * 0.5f;
    EXPECT_NEAR(centre.x, lm::rearLightX, 0.05f);
    EXPECT_NEAR(centre.y, lm::rearLightY, 0.03f);
    EXPECT_NEAR(centre.z, 0.0f, 0.01f);
    // The saloon's sheet at the bar's height stays behind the lenses, and
    // the bar is not far off the sheet either.
    float sheetRear = -1e9f;
    for (const SceneNode& n : corsel.nodes()) {
        if (!n.hasMesh || n.baseColourTextured || contains(n.name, names::vehicleEye))
            continue;
        for (const glm::vec3& p : worldPositions(corsel, n)) {
            if (std::abs(p.y - lm::rearLightY) < 0.06f && std::abs(p.z) < lm::rearLightSpread + 0.1f) {
                sheetRear = std::max(sheetRear, p.x);
            }
        }
    }
    EXPECT_GT(lensFront, sheetRear + 0.02f);
    EXPECT_LT(min.x, sheetRear + 0.03f) << "the housing touches the sheet";
}

} // namespace
} // namespace gloam::forge::testing
