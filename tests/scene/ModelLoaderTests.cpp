#include "ModelFixture.h"

#include "platform/assets/AnimationResource.h"
#include "platform/assets/JointMatrices.h"
#include "platform/assets/ModelLoader.h"
#include "platform/assets/TextureResource.h"
#include "platform/async/TaskHandle.h"
#include "platform/material/Material.h"

#include "tests/support/EventLoop.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>

using namespace gloam::platform;

namespace {

class ModelFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = std::filesystem::temp_directory_path() / ("gloam-model-" + std::to_string(::getpid()) + ".glb");
        gloam::testing::vehicleFixture().write(path);
    }
    void TearDown() override { std::filesystem::remove(path); }

    std::string loadError(const std::filesystem::path& file)
    {
        try {
            ModelLoader::loadNow(file, "broken");
        } catch (const ModelLoadError& e) {
            return e.what();
        }
        return "";
    }

    std::filesystem::path path;
};

std::vector<std::string> names(const Entity& e)
{
    std::vector<std::string> out;
    for (const auto& c : e.children()) {
        out.push_back(c->name());
    }
    return out;
}

} // namespace

TEST_F(ModelFile, LoadsTheTreeWithNodeAndMaterialNames)
{
    auto root = ModelLoader::loadNow(path, "Corsel");
    EXPECT_EQ(root->name(), "Corsel");
    ASSERT_EQ(names(*root), std::vector<std::string>{"Vehicle"});
    auto vehicle = root->children()[0];
    EXPECT_EQ(names(*vehicle), (std::vector<std::string>{"Env_Body", "Arm", "Bone0"}));

    auto body = root->findEntity("Env_Body");
    const auto* model = body->components.get<ModelComponent>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->mesh->name(), "BodyMesh");
    ASSERT_EQ(model->mesh->parts().size(), 2u);
    ASSERT_EQ(model->materials.size(), 2u);
    EXPECT_EQ(model->materials[model->mesh->parts()[1].materialIndex], model->materials[1]);
    EXPECT_EQ(materialName(model->materials[0]), "Paint");
    EXPECT_EQ(materialName(model->materials[1]), "Glass");
    // glTF's v runs down from the image top; ours runs up from the bottom.
    const auto& quad = model->mesh->parts()[0];
    EXPECT_EQ(quad.positions[0], glm::vec3(0, 0, 0));
    EXPECT_EQ(quad.textureCoordinates[0], glm::vec2(0, 0));
    EXPECT_EQ(quad.textureCoordinates[2], glm::vec2(1, 1));

    const auto* paint = asPhysicallyBased(model->materials[0]);
    ASSERT_NE(paint, nullptr);
    EXPECT_FLOAT_EQ(paint->metallic, 0.9f);
    EXPECT_FLOAT_EQ(paint->roughness, 0.3f);
    EXPECT_FLOAT_EQ(paint->emissiveIntensity, 3.0f);
    EXPECT_FLOAT_EQ(paint->emissiveColor.color.y, 0.5f);
    const auto* glass = asPhysicallyBased(model->materials[1]);
    EXPECT_TRUE(glass->blending.isTransparent());
    EXPECT_EQ(glass->faceCulling, FaceCulling::none);
    EXPECT_FLOAT_EQ(glass->baseColor.tint.a, 0.25f);

    // The wheel is a child of the body, placed 1 m along x, with its texture.
    auto wheel = body->findEntity("Wheel");
    ASSERT_NE(wheel, nullptr);
    EXPECT_EQ(wheel->parent(), body.get());
    EXPECT_FLOAT_EQ(wheel->position(nullptr).x, 1.0f);
    const auto* rubber = asPhysicallyBased(wheel->components.get<ModelComponent>()->materials[0]);
    EXPECT_EQ(rubber->name, "BonesSkin_2");
    ASSERT_NE(rubber->baseColor.texture, nullptr);
    ASSERT_NE(rubber->normal, nullptr);
    EXPECT_EQ(rubber->baseColor.texture->semantic(), TextureSemantic::color);
    EXPECT_EQ(rubber->normal->semantic(), TextureSemantic::normal);
    EXPECT_EQ(rubber->baseColor.texture->width(), 2);
    const auto green = rubber->baseColor.texture->pixel(1, 0);
    EXPECT_FLOAT_EQ(green[0], 0.0f);
    EXPECT_FLOAT_EQ(green[1], 1.0f);

    // Bounds of the whole tree: quads at the origin and 2 m up, the wheel 1 m along x.
    const auto bounds = root->visualBounds(true, nullptr, false);
    EXPECT_FLOAT_EQ(bounds.max.x, 2.0f);
    EXPECT_FLOAT_EQ(bounds.max.y, 3.0f);

    ASSERT_EQ(root->availableAnimations().size(), 1u);
    EXPECT_EQ(root->availableAnimations()[0]->name(), "Drive");
    EXPECT_DOUBLE_EQ(root->availableAnimations()[0]->clipDuration(), 2.0);
}

TEST_F(ModelFile, SkinJointMatricesFollowTheBones)
{
    auto root = ModelLoader::loadNow(path, "Corsel");
    auto arm = root->findEntity("Arm");
    const auto* skin = arm->components.get<SkinComponent>();
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->joints.size(), 2u);
    EXPECT_EQ(skin->joints[1].lock()->name(), "Bone1");
    EXPECT_TRUE(arm->components.get<ModelComponent>()->mesh->parts()[0].isSkinned());

    // In the bind pose every joint matrix is the identity.
    for (const auto& m : jointMatrices(*arm)) {
        for (int c = 0; c < 4; ++c) {
            for (int r = 0; r < 4; ++r) {
                EXPECT_NEAR(m[c][r], c == r ? 1.0f : 0.0f, 1e-5f);
            }
        }
    }
    // Moving Bone0 moves both joints; moving Bone1 only the second.
    root->findEntity("Bone0")->setPosition({0, 0, 2});
    root->findEntity("Bone1")->setPosition({0.5f, 1, 0});
    const auto moved = jointMatrices(*arm);
    EXPECT_NEAR(moved[0][3].z, 2.0f, 1e-5f);
    EXPECT_NEAR(moved[0][3].x, 0.0f, 1e-5f);
    EXPECT_NEAR(moved[1][3].z, 2.0f, 1e-5f);
    EXPECT_NEAR(moved[1][3].x, 0.5f, 1e-5f);
}

TEST_F(ModelFile, BadFilesSayWhichFileAndWhatIsWrong)
{
    gloam::testing::TemporaryFolder folder("gloam-bad-models");
    const auto missing = folder / "gloam-no-such-model.glb";
    std::string error = loadError(missing);
    EXPECT_NE(error.find("gloam-no-such-model.glb"), std::string::npos) << error;
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;

    const auto full = gloam::testing::vehicleFixture().glb();
    const auto broken = folder / "gloam-broken-model.glb";
    auto writeBytes = [&](const std::vector<std::uint8_t>& bytes) {
        std::ofstream out(broken, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    const std::vector<std::vector<std::uint8_t>> cases = {
        std::vector<std::uint8_t>(full.begin(),
                                  full.begin() + static_cast<std::ptrdiff_t>(full.size() / 2)), // truncated
        std::vector<std::uint8_t>(full.begin(), full.begin() + 10),                             // header only
        std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!',
                                  '!'}, // not glTF
        {},                             // empty
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        writeBytes(cases[i]);
        error = loadError(broken);
        EXPECT_NE(error.find("gloam-broken-model.glb"), std::string::npos) << "case " << i << ": " << error;
    }
}

// A skinned quad whose accessors a case may then break: positions 0,
// joints 1, weights 2, indices 3, each in a buffer view of the same number.
gloam::testing::GlbWriter skinnedQuad()
{
    using json = nlohmann::json;
    gloam::testing::GlbWriter w;
    const int positions = w.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", true);
    const int joints = w.joints({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    const int weights = w.floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4");
    const int indices = w.indices({0, 1, 2, 0, 2, 3});
    const int mesh = w.mesh(
        "Quad", json::array({{{"attributes", {{"POSITION", positions}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}},
                              {"indices", indices}}}));
    const int bone = w.node({{"name", "Bone"}});
    const int quad = w.node({{"name", "Quad"}, {"mesh", mesh}});
    w.nodeAt(quad)["skin"] = w.skin({{"joints", {bone}}});
    w.scene({quad, bone});
    return w;
}

TEST(HostileModelFile, IsRejectedWithTheLoadersErrorNamingTheFile)
{
    gloam::testing::TemporaryFolder folder("gloam-hostile-model");
    // Counts that make count × components or offset + stride × (count − 1)
    // wrap round a 64-bit size.
    const std::uint64_t wrapsTimes16 = (std::uint64_t{1} << 60) + 1;
    const std::uint64_t wrapsTimes4 = (std::uint64_t{1} << 62) + 1;
    const struct {
        const char* name;
        std::function<void(gloam::testing::GlbWriter&)> breakIt;
        const char* says;
    } cases[] = {
        {"MAT4 joints",
         [](auto& w) {
             // 32 bytes: one MAT4 of unsigned shorts fits the view exactly.
             w.accessorAt(1)["type"] = "MAT4";
             w.accessorAt(1)["count"] = 1;
             w.accessorAt(2)["count"] = 1;
             w.accessorAt(0)["count"] = 1;
         },
         "accessor 1 has 16 components where 4 are needed"},
        {"SCALAR joints", [](auto& w) { w.accessorAt(1)["type"] = "SCALAR"; },
         "accessor 1 has 1 components where 4 are needed"},
        {"VEC2 indices", [](auto& w) { w.accessorAt(3)["type"] = "VEC2"; },
         "accessor 3 has 2 components where 1 are needed"},
        {"weights count wraps with the stride", [&](auto& w) { w.accessorAt(2)["count"] = wrapsTimes16; },
         "accessor 2 reaches past the end"},
        {"joints count wraps with the stride", [&](auto& w) { w.accessorAt(1)["count"] = wrapsTimes4 * 2 - 1; },
         "accessor 1 reaches past the end"},
        {"positions count wraps with 4 components", [&](auto& w) { w.accessorAt(0)["count"] = wrapsTimes4; },
         "accessor 0 reaches past the end"},
        {"offset wraps", [](auto& w) { w.accessorAt(2)["byteOffset"] = std::numeric_limits<std::uint64_t>::max() - 7; },
         "accessor 2 starts past the end"},
        {"view offset past the buffer", [](auto& w) { w.bufferViewAt(2)["byteOffset"] = 1u << 20; },
         "buffer view 2 starts past the end"},
        {"signed indices", [](auto& w) { w.accessorAt(3)["componentType"] = 5122; },
         "accessor 3 holds indices that are not unsigned integers"},
        {"float joints", [](auto& w) { w.accessorAt(1)["componentType"] = 5126; },
         "accessor 1 holds indices that are not unsigned integers"},
        {"a node its own child", [](auto& w) { w.nodeAt(1)["children"] = {1}; }, "node 1 is its own child"},
        {"a cycle of nodes",
         [](auto& w) {
             w.nodeAt(0)["children"] = {1};
             w.nodeAt(1)["children"] = {0};
         },
         "the node tree has a cycle"},
        {"zeros without a view, too many",
         [](auto& w) {
             w.accessorAt(2).erase("bufferView");
             w.accessorAt(2)["count"] = std::uint64_t{1} << 40;
         },
         "accessor 2 has too many elements"},
    };
    for (const auto& c : cases) {
        auto writer = skinnedQuad();
        c.breakIt(writer);
        const auto file = folder / "hostile.glb";
        writer.write(file);
        std::string error;
        try {
            ModelLoader::loadNow(file, "hostile");
            ADD_FAILURE() << c.name << ": loaded";
            continue;
        } catch (const ModelLoadError& e) {
            error = e.what();
        }
        EXPECT_NE(error.find("model file " + file.string() + ":"), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
    }
}

TEST(HostileModelFile, TheUnbrokenQuadLoads)
{
    gloam::testing::TemporaryFolder folder("gloam-hostile-model");
    skinnedQuad().write(folder / "quad.glb");
    const auto root = ModelLoader::loadNow(folder / "quad.glb", "quad");
    ASSERT_NE(root->findEntity("Quad"), nullptr);
    EXPECT_NE(root->findEntity("Quad")->components.get<SkinComponent>(), nullptr);
}

TEST_F(ModelFile, LoadsOnTheWorkerAndResumesOnTheMainThread)
{
    // Shared, not locals: the task may outlive a test that timed out.
    struct Outcome {
        EntityPtr loaded;
        std::string failure;
    };
    auto outcome = std::make_shared<Outcome>();
    auto handle =
        gloam::async::spawn([](std::filesystem::path file, std::shared_ptr<Outcome> out) -> gloam::async::Task<void> {
            try {
                out->loaded = co_await ModelLoader::load(file, "Corsel");
            } catch (const std::exception& e) {
                out->failure = e.what();
            }
        }(path, outcome));
    ASSERT_TRUE(gloam::testing::runEventsUntil([&] { return outcome->loaded || !outcome->failure.empty(); }));
    EXPECT_EQ(outcome->failure, "");
    const EntityPtr loaded = outcome->loaded;
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded->findEntity("Wheel"), nullptr);
}
