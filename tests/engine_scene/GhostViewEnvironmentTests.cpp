// The environment set-up as a load sees it: a graveyard whose entities are
// named for every rule, a hand, and a resource folder of textures.
#include "engine/post/GhostBloom.h"
#include "engine/scene/GhostView.h"
#include "platform/assets/EnvironmentResource.h"
#include "platform/assets/TextureResource.h"
#include "platform/collision/CollisionComponent.h"
#include "platform/render/ImageFile.h"
#include "platform/scene/DynamicLightShadowComponent.h"
#include "platform/scene/ModelComponent.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace gloam;
using gloam::testing::runEventsUntil;
namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// One graveyard node: a small quad with one physically based material,
// optionally textured, at a position, with optional children.
struct Node {
    Node(std::string name_, glm::vec3 at_ = glm::vec3(0.0F), bool textured_ = false, std::vector<Node> children_ = {})
        : name(std::move(name_))
        , at(at_)
        , textured(textured_)
        , children(std::move(children_))
    {}
    std::string name;
    glm::vec3 at;
    bool textured;
    std::vector<Node> children;
};

int addNode(gloam::testing::GlbWriter& w, const Node& node, int texture)
{
    const float y = 0.0F;
    const int positions = w.floats({-0.5F, y, -0.5F, 0.5F, y, -0.5F, 0.5F, y, 0.5F, -0.5F, y, 0.5F}, "VEC3", true);
    const int normals = w.floats({0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}, "VEC3");
    const int uvs = w.floats({0, 0, 1, 0, 1, 1, 0, 1}, "VEC2");
    const int indices = w.indices({0, 2, 1, 0, 3, 2});
    json pbr = {{"baseColorFactor", {0.3, 0.3, 0.3, 1.0}}, {"roughnessFactor", 0.4}};
    if (node.textured) {
        pbr["baseColorTexture"] = {{"index", texture}};
    }
    const int material = w.material({{"name", node.name + "Material"}, {"pbrMetallicRoughness", pbr}});
    const int mesh =
        w.mesh(node.name + "Mesh",
               json::array({{{"attributes", {{"POSITION", positions}, {"NORMAL", normals}, {"TEXCOORD_0", uvs}}},
                             {"indices", indices},
                             {"material", material}}}));
    std::vector<int> children;
    for (const Node& child : node.children) {
        children.push_back(addNode(w, child, texture));
    }
    json n = {{"name", node.name}, {"mesh", mesh}, {"translation", {node.at.x, node.at.y, node.at.z}}};
    if (!children.empty()) {
        n["children"] = children;
    }
    return w.node(n);
}

void writeModel(const fs::path& file, const std::vector<Node>& nodes)
{
    gloam::testing::GlbWriter w;
    std::vector<std::uint8_t> rgba(4 * 4 * 4, 200);
    std::vector<std::uint8_t> png;
    {
        const fs::path scratch = file.parent_path() / "scratch.png.tmp";
        render::ImageFile::writePng(scratch, 4, 4, rgba);
        std::ifstream in(scratch, std::ios::binary);
        png.assign(std::istreambuf_iterator<char>(in), {});
        fs::remove(scratch);
    }
    const int texture = w.pngTexture(png, "authored");
    std::vector<int> roots;
    for (const Node& node : nodes) {
        roots.push_back(addNode(w, node, texture));
    }
    w.scene(roots);
    w.write(file);
}

void writeTexture(const fs::path& file)
{
    render::ImageFile::writePng(file, 4, 4, std::vector<std::uint8_t>(4 * 4 * 4, 128));
}

std::vector<Node> graveyardNodes()
{
    return {
        Node("Env_HouseTimber_Door", glm::vec3(0.0F), false, {Node("Hinge")}),
        {"Env_HouseEdge_Left"},
        {"Env_EarthBank_HouseEdge"},
        {"Env_Gate_OldWood"},
        {"Env_OldWoodPost"},
        {"Env_Fence_StoneTrim"},
        Node("Env_SleeveLeft", glm::vec3(0.0F), false, {Node("Env_HouseTimber_Cuff")}),
        {"Env_BonesFinger"},
        {"Env_Earth"},
        {"Env_EarthBank"},
        {"Env_MossStone"},
        {"Env_Grave_WeatheredStone"},
        {"Env_Grave_StoneInset"},
        {"Env_StoneRecess_A"},
        Node("Env_SkyClouds", glm::vec3(0.0F), true),
        Node("Env_MoonSprite", glm::vec3(0.0F), true),
        {"Env_TreeMist_East", {6.0F, 1.0F, 0.0F}},
        {"Env_Backdrop_North", {0.0F, 2.0F, -30.0F}},
        {"Env_TreeBlack_Oak"},
        {"Env_RoofBlack"},
        {"Env_HouseBlack_Wall"},
        {"Env_WindowGlow_Left"},
        Node("Env_PumpkinFlame_A", glm::vec3(0.0F), true),
        {"Env_PumpkinGlow_B"},
        {"Env_PumpkinSkin_A"},
        {"Env_PumpkinCarvedWall_A"},
        {"Env_Plain"},
    };
}

// The prepared files, in file-name order, and files that must be skipped.
const std::vector<std::string> preparedFiles = {
    "ao-MossStone-normal.png",      "ao-OldWood-normal.png", "ao-PumpkinSkin-normal.png", "ao-StoneInset-normal.png",
    "ao-WeatheredStone-normal.png", "ground-v5-normal.png",  "pumpkin-cavity.png"};

fs::path makeEnvironmentResources(const std::vector<std::string>& textures = preparedFiles)
{
    const fs::path folder = gloam::testing::makeSceneResources();
    writeModel(folder / "Graveyard.glb", graveyardNodes());
    writeModel(folder / "Hand.glb", {{"Env_SleeveRight"}, {"Env_BonesSkin"}});
    for (const std::string& file : textures) {
        writeTexture(folder / file);
    }
    // Look like textures but are not prepared.
    writeTexture(folder / "ao-notes.png");
    writeTexture(folder / "rust-normal.png");
    return folder;
}

class EnvironmentScene {
public:
    explicit EnvironmentScene(bool interactive = true, fs::path resources = makeEnvironmentResources())
        : resources_(std::move(resources))
    {
        view = gloam::testing::makeTestView(resources_, interactive, now_, log);
    }
    ~EnvironmentScene()
    {
        view.reset();
        gloam::testing::settleTasks(); // what the view still had going
        fs::remove_all(resources_);
    }
    bool waitUntilSettled()
    {
        return runEventsUntil([this] { return view->isReady() || view->isStopped(); }, 20.0);
    }
    // One presented frame after `step` seconds.
    void frame(double step)
    {
        now_ += step;
        gloam::testing::sceneDriver().present(*view, step);
    }
    // Loaded, warmed and past the opening.
    void runScene()
    {
        ASSERT_TRUE(waitUntilSettled());
        ASSERT_TRUE(view->isReady());
        for (int i = 0; i <= GhostBloom::warmupFrames; ++i) {
            frame(1.0 / 64);
        }
        view->skipOpening();
        ASSERT_FALSE(view->openingPlaying());
    }
    platform::EntityPtr entity(const std::string& name) const { return view->anchor()->findEntity(name); }
    bool logged(const std::string& prefix) const
    {
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    }
    std::string path(const std::string& file) const { return (resources_ / file).string(); }

    std::shared_ptr<GhostView> view;
    std::vector<std::string> log;

private:
    fs::path resources_;
    double now_ = 1000.0;
};

platform::Color rgb(float r, float g, float b)
{
    return platform::rgb(r, g, b);
}

// What the rules make of one entity.
struct Expectation {
    Expectation(std::string name_, bool enabled_ = true, std::optional<bool> castsShadow_ = {},
                std::optional<platform::Color> unlit_ = {}, std::optional<platform::Color> tint_ = {},
                platform::FaceCulling culling_ = platform::FaceCulling::back, std::string normalMap_ = {},
                std::optional<float> roughness_ = {})
        : name(std::move(name_))
        , enabled(enabled_)
        , castsShadow(castsShadow_)
        , unlit(unlit_)
        , tint(tint_)
        , culling(culling_)
        , normalMap(std::move(normalMap_))
        , roughness(roughness_)
    {}
    std::string name;
    bool enabled;
    std::optional<bool> castsShadow;      // none: not configured
    std::optional<platform::Color> unlit; // flat unlit colour, or none: still physically based
    std::optional<platform::Color> tint;  // physically based base colour tint
    platform::FaceCulling culling;
    std::string normalMap; // prepared file, or empty
    std::optional<float> roughness;
};

const platform::Color authoredTint = rgb(0.3F, 0.3F, 0.3F);

} // namespace

TEST(GhostViewEnvironmentTest, NamingRulesSetEachEntitysLook)
{
    EnvironmentScene scene;
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady()) << (scene.log.empty() ? std::string() : scene.log.back());

    const platform::Color darkHouse = rgb(0.065F, 0.08F, 0.095F);
    const platform::Color earthTint = rgb(0.9F, 0.78F, 0.73F);
    const platform::Color silhouette = rgb(0.025F, 0.033F, 0.045F);
    const platform::Color stoneTint = rgb(0.8F, 0.65F, 0.49F);
    using platform::FaceCulling;
    const std::vector<Expectation> table = {
        // A child without its own Env_ name is judged by its parent's.
        {"Hinge", true, false, darkHouse},
        {"Env_HouseEdge_Left", true, false, rgb(0.1F, 0.115F, 0.13F)},
        // The earth bank rule comes first in the table of families.
        {"Env_EarthBank_HouseEdge", true, false, std::nullopt, earthTint, FaceCulling::none, "", 0.96F},
        {"Env_Gate_OldWood", true, false, std::nullopt, authoredTint, FaceCulling::back, "ao-OldWood-normal.png"},
        {"Env_OldWoodPost", true, false, std::nullopt, authoredTint},
        // Asks for a normal map that is not there: no map, still a stone.
        {"Env_Fence_StoneTrim", true, true, std::nullopt, stoneTint},
        {"Env_SleeveLeft", false},
        {"Env_BonesFinger", false},
        {"Env_Earth", true, false, std::nullopt, earthTint, FaceCulling::back, "ground-v5-normal.png", 0.96F},
        {"Env_EarthBank", true, false, std::nullopt, earthTint, FaceCulling::none, "ground-v5-normal.png", 0.96F},
        {"Env_MossStone", true, true, std::nullopt, authoredTint, FaceCulling::back, "ao-MossStone-normal.png"},
        {"Env_Grave_WeatheredStone", true, true, std::nullopt, stoneTint, FaceCulling::back,
         "ao-WeatheredStone-normal.png"},
        {"Env_Grave_StoneInset", true, true, std::nullopt, rgb(0.64F, 0.47F, 0.33F), FaceCulling::back,
         "ao-StoneInset-normal.png"},
        {"Env_StoneRecess_A", true, true, std::nullopt, authoredTint},
        {"Env_TreeBlack_Oak", true, false, silhouette},
        {"Env_HouseBlack_Wall", true, false, std::nullopt}, // renamed: looked up below
        // Contains a key but neither is it nor ends with "_" + key.
        {"Env_PumpkinSkin_A", true, true, std::nullopt, authoredTint},
        {"Env_PumpkinCarvedWall_A", true, false, std::nullopt, authoredTint, FaceCulling::none},
        {"Env_Plain", true, false, std::nullopt, authoredTint},
    };
    for (const Expectation& row : table) {
        SCOPED_TRACE(row.name);
        const platform::EntityPtr entity = scene.entity(row.name);
        if (row.name == "Env_HouseBlack_Wall") {
            EXPECT_EQ(entity, nullptr) << "house walls answer to the lightning's name";
            continue;
        }
        ASSERT_NE(entity, nullptr);
        EXPECT_EQ(entity->isEnabled(), row.enabled);
        if (!row.enabled) {
            EXPECT_FALSE(entity->components.has<platform::DynamicLightShadowComponent>())
                << "a hidden part is not configured";
            continue;
        }
        const auto* shadow = entity->components.get<platform::DynamicLightShadowComponent>();
        ASSERT_NE(shadow, nullptr);
        EXPECT_EQ(shadow->castsShadow, *row.castsShadow);
        const auto& material = entity->components.get<platform::ModelComponent>()->materials.at(0);
        if (row.unlit) {
            const platform::UnlitMaterial* unlit = platform::asUnlit(material);
            ASSERT_NE(unlit, nullptr);
            EXPECT_EQ(unlit->color.tint, *row.unlit);
            continue;
        }
        const platform::PhysicallyBasedMaterial* pbr = platform::asPhysicallyBased(material);
        ASSERT_NE(pbr, nullptr);
        EXPECT_EQ(pbr->baseColor.tint, *row.tint);
        EXPECT_EQ(pbr->faceCulling, row.culling);
        if (row.normalMap.empty()) {
            EXPECT_EQ(pbr->normal, nullptr);
        } else {
            EXPECT_EQ(pbr->normal, scene.view->materialTextures().at(row.normalMap));
        }
        if (row.roughness) {
            EXPECT_FLOAT_EQ(pbr->roughness, *row.roughness);
        }
    }

    // The hidden sleeve's children are not visited at all.
    const platform::EntityPtr cuff = scene.entity("Env_HouseTimber_Cuff");
    ASSERT_NE(cuff, nullptr);
    EXPECT_NE(platform::asPhysicallyBased(cuff->components.get<platform::ModelComponent>()->materials.at(0)), nullptr);
    EXPECT_FALSE(cuff->components.has<platform::DynamicLightShadowComponent>());
    EXPECT_FALSE(cuff->isEnabledInHierarchy());

    // In the hand model the same kinds of names stay enabled.
    EXPECT_TRUE(scene.entity("Env_SleeveRight")->isEnabled());
    EXPECT_TRUE(scene.entity("Env_BonesSkin")->isEnabled());

    // Sky: unlit pictures, the moon see-through.
    const auto* clouds =
        platform::asUnlit(scene.entity("Env_SkyClouds")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(clouds, nullptr);
    EXPECT_EQ(clouds->color.tint, rgb(0.68F, 0.88F, 1.0F));
    EXPECT_NE(clouds->color.texture, nullptr) << "the authored picture is kept";
    EXPECT_EQ(clouds->faceCulling, platform::FaceCulling::none);
    EXPECT_FALSE(clouds->blending.isTransparent());
    const auto* moon =
        platform::asUnlit(scene.entity("Env_MoonSprite")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(moon, nullptr);
    EXPECT_EQ(moon->color.tint, rgb(1.0F, 1.0F, 1.0F));
    EXPECT_EQ(moon->blending, platform::Blending::transparent(0.94F));

    // Mist gets its own pale silhouette colour.
    const auto* mist = platform::asUnlit(
        scene.entity("Env_TreeMist_East")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(mist, nullptr);
    EXPECT_EQ(mist->color.tint, rgb(0.09F, 0.17F, 0.21F));

    // Glow: the window burns orange, the pumpkin flame shows the cavity.
    const auto* window = platform::asPhysicallyBased(
        scene.entity("Env_WindowGlow_Left")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->emissiveColor.color, glm::vec3(1.0F, 0.34F, 0.006F));
    EXPECT_EQ(window->emissiveColor.texture, nullptr);
    EXPECT_FLOAT_EQ(window->emissiveIntensity, 3.0F);
    EXPECT_EQ(window->baseColor.tint, rgb(0.6F, 0.1F, 0.004F));
    EXPECT_EQ(window->faceCulling, platform::FaceCulling::back);
    const auto* flame = platform::asPhysicallyBased(
        scene.entity("Env_PumpkinFlame_A")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(flame, nullptr);
    EXPECT_EQ(flame->emissiveColor.texture, scene.view->materialTextures().at("pumpkin-cavity.png"));
    EXPECT_EQ(flame->emissiveColor.color, glm::vec3(1.0F)) << "the cavity picture is the glow's colour";
    EXPECT_FLOAT_EQ(flame->emissiveIntensity, 1.8F);
    EXPECT_EQ(flame->baseColor.tint, rgb(0.0F, 0.0F, 0.0F));
    EXPECT_EQ(flame->baseColor.texture, nullptr);
    EXPECT_EQ(flame->specular, 0.0F);
    EXPECT_EQ(flame->roughness, 1.0F);
    EXPECT_EQ(flame->faceCulling, platform::FaceCulling::none);
}

TEST(GhostViewEnvironmentTest, RegistriesHoldPumpkinsRingPropsAndHouseParts)
{
    EnvironmentScene scene;
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady());

    // Pumpkin parts in tree order, with the materials as set.
    const auto& pumpkins = scene.view->pumpkinMaterials();
    ASSERT_EQ(pumpkins.size(), 3U);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"Env_PumpkinFlame_A", true}, {"Env_PumpkinGlow_B", true}, {"Env_PumpkinSkin_A", false}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const platform::EntityPtr entity = pumpkins[i].entity.lock();
        ASSERT_NE(entity, nullptr);
        EXPECT_EQ(entity->name(), expected[i].first);
        EXPECT_EQ(pumpkins[i].glow, expected[i].second);
        EXPECT_EQ(pumpkins[i].materials.size(), 1U);
    }
    const auto* glowPart = platform::asPhysicallyBased(pumpkins[1].materials.at(0));
    ASSERT_NE(glowPart, nullptr);
    EXPECT_FLOAT_EQ(glowPart->emissiveIntensity, 1.8F) << "the registry keeps the converted resting state";

    // Ring props: the mist and the backdrop, at their world centres.
    const auto& rings = scene.view->ringEntities();
    ASSERT_EQ(rings.size(), 2U);
    EXPECT_EQ(rings[0].entity->name(), "Env_TreeMist_East");
    EXPECT_EQ(rings[0].direction, glm::vec3(6.0F, 1.0F, 0.0F));
    EXPECT_EQ(rings[1].entity->name(), "Env_Backdrop_North");
    EXPECT_EQ(rings[1].direction, glm::vec3(0.0F, 2.0F, -30.0F));

    // Both house parts are renamed and get a triangle collision in time.
    EXPECT_EQ(scene.view->collisionTaskCount(), 2U);
    int houses = 0;
    scene.view->anchor()->visit([&](platform::Entity& e) { houses += e.name() == "LightningHouse" ? 1 : 0; });
    EXPECT_EQ(houses, 2);
    EXPECT_EQ(scene.entity("Env_RoofBlack"), nullptr);
    ASSERT_TRUE(runEventsUntil(
        [&] { return std::count(scene.log.begin(), scene.log.end(), "E4 house triangle collision ready") == 2; },
        20.0));
    int withCollision = 0;
    scene.view->anchor()->visit([&](platform::Entity& e) {
        if (e.name() == "LightningHouse" && e.components.has<platform::CollisionComponent>()) {
            ++withCollision;
        }
    });
    EXPECT_EQ(withCollision, 2);
}

TEST(GhostViewEnvironmentTest, ScreenSaverHouseHasNoCollision)
{
    EnvironmentScene scene(false);
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady());
    EXPECT_EQ(scene.view->collisionTaskCount(), 0U);
    EXPECT_EQ(scene.entity("LightningHouse"), nullptr);
    EXPECT_NE(scene.entity("Env_RoofBlack"), nullptr);
    EXPECT_NE(scene.entity("Env_HouseBlack_Wall"), nullptr);
}

TEST(GhostViewEnvironmentTest, TexturesArePreparedInFileNameOrderAndCached)
{
    EnvironmentScene scene;
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady());

    // Exactly the qualifying files: nothing named by a rule but missing
    // (ao-StoneTrim-normal.png) and none of the look-alikes.
    const auto& cache = scene.view->materialTextures();
    std::vector<std::string> keys;
    for (const auto& [file, texture] : cache) {
        keys.push_back(file);
    }
    EXPECT_EQ(keys, preparedFiles);

    // Loaded one by one in name order: texture ids grow in load order.
    for (std::size_t i = 1; i < preparedFiles.size(); ++i) {
        EXPECT_LT(cache.at(preparedFiles[i - 1])->id(), cache.at(preparedFiles[i])->id()) << preparedFiles[i];
    }
    for (const auto& [file, texture] : cache) {
        const bool normal = file.ends_with("-normal.png");
        EXPECT_EQ(texture->semantic(), normal ? platform::TextureSemantic::normal : platform::TextureSemantic::color)
            << file;
        EXPECT_GT(texture->levels().size(), 1U) << file << " has its mip levels";
    }

    scene.view->stop();
    EXPECT_TRUE(scene.view->materialTextures().empty());
}

TEST(GhostViewEnvironmentTest, FolderWithoutTexturesLoadsAndRulesReadOnDemand)
{
    EnvironmentScene scene(true, makeEnvironmentResources({}));
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady());
    EXPECT_TRUE(scene.view->materialTextures().empty());
    const auto* flame = platform::asPhysicallyBased(
        scene.entity("Env_PumpkinFlame_A")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(flame, nullptr);
    EXPECT_EQ(flame->emissiveColor.color, glm::vec3(1.0F)) << "no cavity: the flame keeps its own picture";
    EXPECT_NE(flame->emissiveColor.texture, nullptr);
    const auto* glow = platform::asPhysicallyBased(
        scene.entity("Env_PumpkinGlow_B")->components.get<platform::ModelComponent>()->materials.at(0));
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->emissiveColor.color, glm::vec3(1.0F, 0.16F, 0.006F));
    EXPECT_EQ(glow->emissiveColor.texture, nullptr);
}

TEST(GhostViewEnvironmentTest, UnreadableTextureFailsTheLoad)
{
    const fs::path folder = makeEnvironmentResources();
    std::ofstream(folder / "ao-Broken-normal.png") << "not a picture";
    EnvironmentScene scene(true, folder);
    ASSERT_TRUE(scene.waitUntilSettled());
    EXPECT_FALSE(scene.view->isReady());
    EXPECT_TRUE(scene.view->isStopped());
    EXPECT_TRUE(scene.logged("E4 ENVIRONMENT FAILED ")) << (scene.log.empty() ? "" : scene.log.back());
    EXPECT_TRUE(scene.logged("Halloween scene unavailable: "));
    ASSERT_TRUE(scene.view->failureLabel().has_value());
}

TEST(GhostViewEnvironmentTest, StudyLightLightsTheSceneFromAbove)
{
    EnvironmentScene scene;
    ASSERT_TRUE(scene.waitUntilSettled());
    ASSERT_TRUE(scene.view->isReady());
    const auto& lighting = scene.view->render().environment().lighting;
    EXPECT_FLOAT_EQ(lighting.intensityExponent, -1.8F);
    ASSERT_NE(lighting.resource, nullptr);
    const auto& image = *lighting.resource->equirectangular();
    ASSERT_EQ(image.width(), 512);
    ASSERT_EQ(image.height(), 256);
    // The top row looks up into the broad key lobe; the bottom row, straight
    // down, sees only the dark base and faint lobe tails.
    const auto up = image.pixel(0, 0);
    const auto down = image.pixel(0, 255);
    EXPECT_GT(up[2], 2.0F);
    EXPECT_LT(down[2], 0.1F);
    EXPECT_NEAR(down[0], 0.035F, 0.01F);
    // The sharp cyan lobe (towards +x, up a little, -z) lights the left
    // part of the picture, around φ = atan2(x, -z) of its direction.
    const int lobeColumn = static_cast<int>(std::atan2(1.0F, 3.0F) / (2.0F * 3.1415925F) * 512.0F);
    const int lobeRow = static_cast<int>(std::acos(1.2F / std::sqrt(1.0F + 1.44F + 9.0F)) / 3.1415925F * 256.0F);
    const auto lobe = image.pixel(lobeColumn, lobeRow);
    const auto opposite = image.pixel((lobeColumn + 256) % 512, lobeRow);
    EXPECT_GT(lobe[2], 9.0F);
    EXPECT_GT(lobe[1], lobe[0]);
    EXPECT_LT(opposite[2], lobe[2] - 3.0F);
}

TEST(GhostViewEnvironmentTest, PumpkinsGlowFromTheirRestingMaterialsAndReturnToThem)
{
    EnvironmentScene scene;
    scene.runScene();
    const auto& parts = scene.view->pumpkinMaterials();
    ASSERT_EQ(parts.size(), 3U);
    auto shown = [](const GhostView::PumpkinMaterial& part) {
        return part.entity.lock()->components.get<platform::ModelComponent>()->materials;
    };

    scene.view->triggerPumpkins();
    scene.frame(0.5);
    const float s = scene.view->reactions().pumpkinStrength();
    ASSERT_GT(s, 0.5F);
    const auto* restingGlow = platform::asPhysicallyBased(parts[1].materials.at(0));
    const std::vector<platform::Material> glowing = shown(parts[1]);
    const auto* glow = platform::asPhysicallyBased(glowing.at(0));
    ASSERT_NE(glow, nullptr);
    EXPECT_FLOAT_EQ(glow->emissiveIntensity, restingGlow->emissiveIntensity + 3.0F * s);
    const std::vector<platform::Material> skinMaterials = shown(parts[2]);
    const auto* skin = platform::asPhysicallyBased(skinMaterials.at(0));
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->emissiveColor.color, glm::vec3(1.0F, 0.035F, 0.003F));
    EXPECT_EQ(skin->emissiveColor.texture, nullptr);
    EXPECT_FLOAT_EQ(skin->emissiveIntensity, 0.22F * s);

    // A second frame derives afresh from the resting list, not from the last frame.
    scene.frame(0.25);
    const float later = scene.view->reactions().pumpkinStrength();
    const std::vector<platform::Material> again = shown(parts[1]);
    EXPECT_FLOAT_EQ(platform::asPhysicallyBased(again.at(0))->emissiveIntensity,
                    restingGlow->emissiveIntensity + 3.0F * later);

    for (int i = 0; i < 40 && scene.view->reactions().pumpkinStrength() > 0.0F; ++i) {
        scene.frame(0.5);
    }
    ASSERT_EQ(scene.view->reactions().pumpkinStrength(), 0.0F);
    for (const GhostView::PumpkinMaterial& part : parts) {
        EXPECT_EQ(shown(part), part.materials) << part.entity.lock()->name() << " is back at rest";
    }
}
