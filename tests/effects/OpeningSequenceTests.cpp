#include "engine/effects/OpeningSequence.h"

#include "platform/assets/TextureResource.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuError.h"
#include "platform/material/Material.h"
#include "platform/scene/ModelComponent.h"
#include "resources/SceneLandmarks.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/OpeningPose.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <glm/gtc/quaternion.hpp>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace gloam;
namespace fs = std::filesystem;

namespace {

constexpr float tolerance = 1e-4F;

// A folder with the opening's four files and nothing else.
class OpeningFolder {
public:
    OpeningFolder() { gloam::testing::writeOpeningResources(folder_); }
    const fs::path& path() const { return folder_; }

private:
    gloam::testing::TemporaryFolder folder_{"gloamyard-opening"};
};

class OpeningSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gloam::testing::sceneDriver(); // the GPU device the atmosphere asks for
        camera = platform::PerspectiveCamera::make("Camera");
    }

    std::unique_ptr<OpeningSequence> make(float aspect = 2.4F)
    {
        auto opening = std::make_unique<OpeningSequence>(camera, folder.path());
        opening->layout(aspect, 10.5F);
        return opening;
    }

    OpeningFolder folder;
    std::shared_ptr<platform::PerspectiveCamera> camera;
};

using gloam::testing::opacityOf;

} // namespace

TEST_F(OpeningSequenceTest, BuildsItsLayersUnderTheCameraHiddenAndStill)
{
    auto opening = make();
    ASSERT_EQ(camera->children().size(), 1U);
    EXPECT_EQ(camera->children().front(), opening->root());
    EXPECT_EQ(opening->root()->name(), "OpeningSequence");
    EXPECT_FALSE(opening->root()->isEnabled());
    EXPECT_FALSE(opening->isPlaying());
    EXPECT_EQ(opening->time(), 0.0);

    // Back to front: panorama, atmosphere, title, 25 bats, witch, bolts.
    const auto& children = opening->root()->children();
    ASSERT_EQ(children.size(), 3U + OpeningSequence::batCount + 3U);
    EXPECT_EQ(children[0], opening->background());
    EXPECT_EQ(children[1], opening->atmosphere());
    EXPECT_EQ(children[2], opening->title());
    for (int i = 0; i < OpeningSequence::batCount; ++i) {
        EXPECT_EQ(children[3 + static_cast<std::size_t>(i)]->name(), "OpeningBat" + std::to_string(i));
        EXPECT_EQ(children[3 + static_cast<std::size_t>(i)]->children().size(), 5U) << "wings, body, ears";
    }
    EXPECT_EQ(children[28], opening->witch());
    EXPECT_EQ(children[29], opening->titleBolts());
    EXPECT_EQ(children[30], opening->hillBolts());
    EXPECT_EQ(opening->titleBolts()->children().size(), 2U) << "trunk and branch";
    EXPECT_EQ(opening->titleBolts()->children()[0]->children().size(), 10U) << "one quad per segment";
    EXPECT_EQ(opening->hillBolts()->children()[0]->children().size(), 5U);

    // The picture: untoned, two-sided, blended, no depth.
    const auto& cardModel = opening->background()->model();
    EXPECT_EQ(cardModel.mesh->name(), "Opening_OpeningPanorama.png");
    const auto* card = platform::asUnlit(cardModel.materials.front());
    ASSERT_NE(card, nullptr);
    EXPECT_FALSE(card->toneMapped);
    EXPECT_FALSE(card->writesDepth);
    EXPECT_EQ(card->faceCulling, platform::FaceCulling::none);
    EXPECT_TRUE(card->blending.isTransparent());
    ASSERT_NE(card->color.texture, nullptr);
    EXPECT_EQ(card->color.texture->width(), 16);
    const auto* atmosphere = platform::asCustom(opening->atmosphere()->model().materials.front());
    ASSERT_NE(atmosphere, nullptr);
    EXPECT_EQ(atmosphere->surfaceShader.functionName, "openingAtmosphere");
    EXPECT_EQ(atmosphere->baseColor.texture, card->color.texture) << "the atmosphere samples the panorama";
    EXPECT_FALSE(atmosphere->writesDepth);
    EXPECT_FALSE(atmosphere->toneMapped);

    // The witch: a silhouette 0.36 wide, centred, with her cape found.
    const platform::BoundingBox witch = opening->witch()->visualBounds(true, opening->witch().get());
    EXPECT_NEAR(witch.extents().x, 0.36F, tolerance);
    EXPECT_NEAR(witch.center().x, 0.0F, tolerance);
    EXPECT_NEAR(witch.center().y, 0.0F, tolerance);
    ASSERT_NE(opening->cape(), nullptr);
    EXPECT_EQ(opening->cape()->name(), "WitchCape");
    opening->witch()->visit([](platform::Entity& entity) {
        if (const auto* model = entity.components.get<platform::ModelComponent>()) {
            const auto* unlit = platform::asUnlit(model->materials.front());
            ASSERT_NE(unlit, nullptr) << entity.name();
            EXPECT_FLOAT_EQ(unlit->color.tint.b, 0.012F) << entity.name();
        }
    });
}

TEST_F(OpeningSequenceTest, TheAtmosphereShaderIsLoadedOncePerProcess)
{
    OpeningSequence::forgetAtmosphereMaterial();
    auto first = make();
    auto second = make();
    const auto* a = platform::asCustom(first->atmosphere()->model().materials.front());
    const auto* b = platform::asCustom(second->atmosphere()->model().materials.front());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->surfaceShader.librarySource, b->surfaceShader.librarySource) << "one library text, one program";
    second.reset();
    EXPECT_EQ(camera->children().size(), 1U) << "a sequence takes its root with it";
}

TEST_F(OpeningSequenceTest, MissingResourcesFailTheBuildAndLeaveTheCameraAlone)
{
    struct Case {
        const char* file;
        const char* named;
    };
    for (const Case& c :
         {Case{"OpeningPanorama.png", "OpeningPanorama.png"}, Case{"OpeningTitle.png", "OpeningTitle.png"},
          Case{"Witch.glb", "Witch.glb"}, Case{"OpeningAtmosphere.glsl", "OpeningAtmosphere.glsl"}}) {
        OpeningSequence::forgetAtmosphereMaterial();
        OpeningFolder broken;
        fs::remove(broken.path() / c.file);
        try {
            OpeningSequence opening(camera, broken.path());
            ADD_FAILURE() << "built without " << c.file;
        } catch (const std::exception& error) {
            EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
        }
        EXPECT_TRUE(camera->children().empty()) << c.file;
    }

    // A library without the surface function, and a picture that is not one.
    OpeningSequence::forgetAtmosphereMaterial();
    OpeningFolder wrongLibrary;
    std::ofstream(wrongLibrary.path() / "OpeningAtmosphere.glsl", std::ios::trunc) << "#pragma surface other\n";
    EXPECT_THROW(OpeningSequence(camera, wrongLibrary.path()), gpu::GpuError);
    OpeningFolder wrongPicture;
    std::ofstream(wrongPicture.path() / "OpeningTitle.png", std::ios::trunc) << "not a picture";
    EXPECT_THROW(OpeningSequence(camera, wrongPicture.path()), std::runtime_error);
    EXPECT_TRUE(camera->children().empty());
    OpeningSequence::forgetAtmosphereMaterial();
}

TEST_F(OpeningSequenceTest, WithoutAGpuDeviceTheAtmosphereFailsWithItsOwnDomain)
{
    OpeningSequence::forgetAtmosphereMaterial();
    const auto device = gpu::GpuDevice::systemDefault();
    gpu::GpuDevice::setSystemDefault(nullptr);
    try {
        OpeningSequence opening(camera, folder.path());
        ADD_FAILURE() << "built without a GPU";
    } catch (const gpu::GpuError& error) {
        EXPECT_EQ(error.domain(), "OpeningAtmosphere");
        EXPECT_EQ(error.code(), 1);
    }
    gpu::GpuDevice::setSystemDefault(device);
    EXPECT_TRUE(camera->children().empty());
}

TEST_F(OpeningSequenceTest, PlaysFromStartToItsEndAndSkips)
{
    auto opening = make();
    opening->start();
    EXPECT_TRUE(opening->isPlaying());
    EXPECT_TRUE(opening->root()->isEnabled());

    EXPECT_TRUE(opening->advance(-3.0));
    EXPECT_EQ(opening->time(), 0.0) << "a negative step does not move the clock";
    EXPECT_TRUE(opening->advance(15.0));
    EXPECT_TRUE(opening->root()->isEnabled());
    EXPECT_FALSE(opening->advance(1.0));
    EXPECT_EQ(opening->time(), OpeningTiming::duration);
    EXPECT_FALSE(opening->root()->isEnabled());

    opening->start();
    EXPECT_EQ(opening->time(), 0.0) << "a replay starts from the beginning";
    EXPECT_TRUE(opening->root()->isEnabled());
    opening->advance(3.0);
    opening->skip();
    EXPECT_FALSE(opening->isPlaying());
    EXPECT_EQ(opening->time(), OpeningTiming::duration);
    EXPECT_FALSE(opening->root()->isEnabled());
}

TEST_F(OpeningSequenceTest, PosesFollowTheTimeline)
{
    auto opening = make();
    opening->start();

    // The end: hidden at 15.4, still there (almost invisible) just before.
    opening->seek(15.4);
    EXPECT_FALSE(opening->root()->isEnabled());
    opening->seek(15.39);
    EXPECT_TRUE(opening->root()->isEnabled());
    EXPECT_NEAR(opacityOf(*opening->root()), 0.0F, 1e-3F);
    opening->seek(10.0);
    EXPECT_EQ(opacityOf(*opening->root()), 1.0F);
    // The fade into the scene is the clock's own dissolve, half way at 14.775 s.
    opening->seek(14.775);
    EXPECT_NEAR(opacityOf(*opening->root()), 0.5F, tolerance);
    for (const double t : {14.15, 14.4, 14.9, 15.2}) {
        opening->seek(t);
        EXPECT_FLOAT_EQ(opacityOf(*opening->root()), 1.0F - OpeningTiming::dissolve(t)) << t;
    }

    // The panorama (4.836 wide at this aspect) zooms by 1.2 % over 9.8 s,
    // then moves up by 0.477 of its side until 12.4 s.
    struct PanoramaCase {
        double t;
        float scale;
        float y;
    };
    for (const PanoramaCase& c : {PanoramaCase{0.0, 4.836F, -1.363752F}, PanoramaCase{9.8, 4.894032F, -1.380117F},
                                  PanoramaCase{11.1, 4.894032F, -0.212890F}, PanoramaCase{12.4, 4.894032F, 0.954336F},
                                  PanoramaCase{14.0, 4.894032F, 0.954336F}}) {
        opening->seek(c.t);
        EXPECT_NEAR(opening->background()->scale().x, c.scale, tolerance) << c.t;
        EXPECT_NEAR(opening->background()->scale().y, c.scale, tolerance) << c.t;
        EXPECT_NEAR(opening->background()->position().y, c.y, tolerance) << c.t;
        EXPECT_EQ(opening->background()->position().x, 0.0F) << c.t;
    }

    // The title shrinks from 2.4 to 1 over 2.25 s, fades 6.1 to 7.5.
    struct TitleCase {
        double t;
        float scale;
        float opacity;
        bool enabled;
    };
    for (const TitleCase& c :
         {TitleCase{0.0, 2.4F, 1.0F, true}, TitleCase{2.25, 1.0F, 1.0F, true}, TitleCase{5.0, 1.0F, 1.0F, true},
          TitleCase{6.8, 1.0F, 0.5F, true}, TitleCase{7.5, 1.0F, 0.0F, false}}) {
        opening->seek(c.t);
        EXPECT_NEAR(opening->title()->scale().x, c.scale, tolerance) << c.t;
        EXPECT_NEAR(opacityOf(*opening->title()), c.opacity, tolerance) << c.t;
        EXPECT_EQ(opening->title()->isEnabled(), c.enabled) << c.t;
        EXPECT_NEAR(opening->title()->position().y, -0.04F, tolerance);
    }

    // Bat 0 bursts out just above the centre at 2.7 s and is gone at 6.05 s;
    // bat 5 leaves 0.275 s after it.
    const auto& bat0 = opening->bats()[0];
    const auto& bat5 = opening->bats()[5];
    opening->seek(2.6999);
    EXPECT_FALSE(bat0.bat->isEnabled());
    opening->seek(2.7);
    EXPECT_TRUE(bat0.bat->isEnabled());
    EXPECT_NEAR(bat0.bat->position().x, 0.0F, tolerance);
    EXPECT_NEAR(bat0.bat->position().y, 0.1876F, tolerance);
    EXPECT_NEAR(bat0.bat->position().z, 0.09F, tolerance);
    EXPECT_FALSE(bat5.bat->isEnabled());
    opening->seek(2.976);
    EXPECT_TRUE(bat5.bat->isEnabled());
    opening->seek(6.0499);
    EXPECT_TRUE(bat0.bat->isEnabled());
    opening->seek(6.05);
    EXPECT_FALSE(bat0.bat->isEnabled());
    // Bat 7 mid-flight at 4 s (1.245 s into its flight): out along its
    // spiral, grown, tilted and flapping at its own rate.
    const auto& bat7 = opening->bats()[7];
    opening->seek(4.0);
    ASSERT_TRUE(bat7.bat->isEnabled());
    EXPECT_NEAR(bat7.bat->position().x, -1.045624F, tolerance);
    EXPECT_NEAR(bat7.bat->position().y, -0.072354F, tolerance);
    EXPECT_NEAR(bat7.bat->position().z, 0.135F, tolerance);
    EXPECT_NEAR(bat7.bat->scale().x, 0.10553F, tolerance);
    EXPECT_NEAR(glm::angle(bat7.bat->orientation()), 0.093739F, tolerance);
    EXPECT_NEAR(glm::axis(bat7.bat->orientation()).z, 1.0F, tolerance);
    const glm::quat flap = glm::angleAxis(0.296203F, glm::vec3(0.0F, 1.0F, 0.0F));
    EXPECT_NEAR(std::abs(glm::dot(bat7.leftWing->orientation(), flap)), 1.0F, 1e-6F);
    EXPECT_NEAR(std::abs(glm::dot(bat7.rightWing->orientation(), glm::inverse(flap))), 1.0F, 1e-6F);

    // Wings flap as mirror images.
    opening->seek(3.3);
    const glm::quat left = bat0.leftWing->orientation();
    const glm::quat right = bat0.rightWing->orientation();
    EXPECT_GT(std::abs(left.y), 0.01F) << "mid-flap";
    EXPECT_NEAR(left.y, -right.y, tolerance) << "turned the other way about +Y";
    EXPECT_NEAR(left.w, right.w, tolerance);

    // The witch: mid-frame at the top of her arc at 7.75 s, right edge to
    // left edge from 5.5 to 10 s.
    opening->seek(7.75);
    EXPECT_TRUE(opening->witch()->isEnabled());
    EXPECT_NEAR(opening->witch()->position().x, 0.0F, tolerance);
    EXPECT_NEAR(opening->witch()->position().y, 0.08F, tolerance);
    opening->seek(5.5);
    EXPECT_NEAR(opening->witch()->position().x, 2.8F, tolerance);
    opening->seek(10.0);
    EXPECT_NEAR(opening->witch()->position().x, -2.8F, tolerance);
    opening->seek(10.01);
    EXPECT_FALSE(opening->witch()->isEnabled());

    // Lightning: over the title at 2.15 and 2.31, over the hill at 13.1 and 13.25.
    struct FlashCase {
        double t;
        float title;
        float hill;
    };
    for (const FlashCase& c :
         {FlashCase{2.149, 0.0F, 0.0F}, FlashCase{2.15, 1.0F, 0.0F}, FlashCase{2.31, 0.55F, 0.0F},
          FlashCase{2.6, 0.0F, 0.0F}, FlashCase{13.1, 0.0F, 1.0F}, FlashCase{13.2, 0.0F, std::exp(-1.5F)},
          FlashCase{13.34, 0.0F, 0.45F * std::exp(-1.35F)}, FlashCase{13.5, 0.0F, 0.0F}}) {
        opening->seek(c.t);
        EXPECT_EQ(opening->titleBolts()->isEnabled(), c.title > 0.0F) << c.t;
        EXPECT_EQ(opening->hillBolts()->isEnabled(), c.hill > 0.0F) << c.t;
        if (c.title > 0.0F) {
            EXPECT_NEAR(opacityOf(*opening->titleBolts()), c.title, tolerance) << c.t;
        }
        if (c.hill > 0.0F) {
            EXPECT_NEAR(opacityOf(*opening->hillBolts()), c.hill, tolerance) << c.t;
        }
    }

    // The atmosphere's shader sees the time.
    opening->seek(4.5);
    EXPECT_FLOAT_EQ(platform::asCustom(opening->atmosphere()->model().materials.front())->custom.value.x, 4.5F);
}

TEST_F(OpeningSequenceTest, ThePanoramaCoversEveryViewShapeThroughoutTheZoomAndPan)
{
    auto opening = make();
    opening->start();
    struct Case {
        float aspect;
        float backdrop;
    };
    for (const Case& c : {Case{9.0F / 16.0F, 4.8F}, Case{1.0F, 4.8F}, Case{4.0F / 3.0F, 4.8F}, Case{1.5F, 4.8F},
                          Case{1200.0F / 540.0F, 4.8F}, Case{2.4F, 4.836F}, Case{3.0F, 6.045F}, Case{6.0F, 12.09F}}) {
        opening->layout(c.aspect, 10.5F);
        EXPECT_NEAR(opening->backdropWidth(), c.backdrop, tolerance) << c.aspect;
        for (double t = 0.0; t < OpeningTiming::duration; t += 0.35) {
            opening->seek(t);
            const glm::vec3 scale = opening->background()->scale();
            const glm::vec3 at = opening->background()->position();
            EXPECT_GE(scale.x / 2.0F - std::abs(at.x), c.aspect) << "sides bare at aspect " << c.aspect << ", " << t;
            EXPECT_GE(at.y + scale.y / 2.0F, 1.0F) << "top bare at aspect " << c.aspect << ", " << t;
            EXPECT_LE(at.y - scale.y / 2.0F, -1.0F) << "bottom bare at aspect " << c.aspect << ", " << t;
            EXPECT_EQ(opening->atmosphere()->scale(), scale);
            EXPECT_FLOAT_EQ(opening->atmosphere()->position().y, at.y);
        }
        // Once panned down, the house on the hill and the hill's bolt are in view.
        opening->seek(13.15);
        const float houseX = opening->background()->position().x +
                             (landmarks::panoramaHouseAcross - 0.5F) * opening->background()->scale().x;
        EXPECT_LT(std::abs(houseX), c.aspect) << c.aspect;
        const platform::BoundingBox bolt = opening->hillBolts()->visualBounds(true, opening->root().get());
        EXPECT_LT(bolt.min.x, c.aspect) << c.aspect;
        EXPECT_GT(bolt.max.x, -c.aspect) << c.aspect;
        EXPECT_LT(std::abs(bolt.center().x), c.aspect) << c.aspect;
        opening->seek(7.0);
        EXPECT_EQ(opening->background()->position().x, 0.0F) << "the moon stays in the middle until the pan";

        // The title's lettering stays inside narrow views.
        opening->seek(3.0);
        EXPECT_LE(landmarks::titleLetteringWidth * OpeningSequence::titleWidth * opening->title()->scale().x,
                  0.93F * 2.0F * c.aspect)
            << c.aspect;
    }

    // The root hangs one unit ahead, scaled so that one unit is half the view's height.
    opening->layout(2.0F, 90.0F);
    EXPECT_EQ(opening->root()->position(), glm::vec3(0.0F, 0.0F, -1.0F));
    EXPECT_NEAR(opening->root()->scale().y, 1.0F, tolerance);
    EXPECT_TRUE(opening->root()->isEnabled()) << "layout keeps the root as it was";
    opening->skip();
    opening->layout(1.0F, 10.5F);
    EXPECT_FALSE(opening->root()->isEnabled());
}

TEST_F(OpeningSequenceTest, SeekIsAPureFunctionOfTime)
{
    auto played = make();
    auto jumped = make();
    played->start();
    jumped->start();
    // One played through frame by frame, the other sent straight to each time
    // after a detour elsewhere.
    for (double t : {0.5, 2.2, 2.8, 3.5, 6.5, 7.75, 11.0, 13.15, 14.8}) {
        while (played->time() < t) {
            played->advance(std::min(1.0 / 30.0, t - played->time()));
        }
        jumped->seek(15.0 - t);
        jumped->seek(played->time());
        gloam::testing::expectSamePose(gloam::testing::poseOf(*played->root()), gloam::testing::poseOf(*jumped->root()),
                                       "at " + std::to_string(t));
    }
}
