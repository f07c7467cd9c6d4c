// The grave ghost, the witch and the skeletal hand inside the scene view:
// loading, clicks, the camera's effect on the moon target, the automatic
// appearances, and the scene running on when a character's files are bad.
#include "engine/effects/GraveGhostEffect.h"
#include "engine/effects/HandEffect.h"
#include "engine/effects/WitchEffect.h"
#include "engine/post/GhostBloom.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/scene/GhostView.h"
#include "platform/assets/ModelLoader.h"
#include "tests/engine_scene/SceneFixture.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace gloam;
using gloam::testing::GlbWriter;
namespace fs = std::filesystem;

namespace {

constexpr double frameStep = 1.0 / 64;

// A quad standing in the x-y plane at depth z, with one named material.
int quadMesh(GlbWriter& w, const std::string& name, glm::vec3 low, glm::vec3 high, const std::string& material)
{
    using json = nlohmann::json;
    const int positions = w.floats(
        {low.x, low.y, low.z, high.x, low.y, low.z, high.x, high.y, high.z, low.x, high.y, high.z}, "VEC3", true);
    const int normals = w.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    const int indices = w.indices({0, 1, 2, 0, 2, 3});
    const int paint =
        w.material({{"name", material}, {"pbrMetallicRoughness", {{"baseColorFactor", {0.3, 0.3, 0.3, 1.0}}}}});
    return w.mesh(name, json::array({{{"attributes", {{"POSITION", positions}, {"NORMAL", normals}}},
                                      {"indices", indices},
                                      {"material", paint}}}));
}

// A witch: body and (optionally) a cape at her shoulders.
void writeWitch(const fs::path& file, bool withCape)
{
    GlbWriter w;
    const int root = w.node({{"name", "Witch"}});
    const int body =
        w.node({{"name", "WitchBody"}, {"mesh", quadMesh(w, "Body", {-0.4F, 0, 0}, {0.4F, 0.6F, 0}, "Robe")}});
    std::vector<int> children{body};
    if (withCape) {
        children.push_back(w.node({{"name", "WitchCape"},
                                   {"translation", {0.0, 0.45, 0.0}},
                                   {"mesh", quadMesh(w, "Cape", {0, -0.3F, 0}, {0.5F, 0, 0}, "Cloth")}}));
    }
    w.nodeAt(root)["children"] = children;
    w.scene({root});
    w.write(file);
}

// A hand standing on the wrist point; its clip "HandReach", when it has one,
// starts 0.8 under ground, reaches the loaded pose at 1 s and sinks back by 2 s.
void writeHand(const fs::path& file, bool withClip = true)
{
    const glm::vec3 wrist = HandEffect::wrist();
    GlbWriter w;
    const int root = w.node({{"name", "Hand"}});
    const int bones = w.node({{"name", "HandBones"},
                              {"mesh", quadMesh(w, "Bones", {wrist.x - 0.12F, -0.1F, wrist.z},
                                                {wrist.x + 0.12F, 0.9F, wrist.z}, "BonesSkin_1")}});
    w.nodeAt(root)["children"] = {bones};
    w.scene({root});
    if (!withClip) {
        w.write(file);
        return;
    }
    const int times = w.floats({0, 1, 2}, "SCALAR");
    const int values = w.floats({0, -0.8F, 0, 0, 0, 0, 0, -0.8F, 0}, "VEC3");
    w.animation(
        {{"name", "HandReach"},
         {"samplers", nlohmann::json::array({{{"input", times}, {"output", values}, {"interpolation", "LINEAR"}}})},
         {"channels",
          nlohmann::json::array({{{"sampler", 0}, {"target", {{"node", bones}, {"path", "translation"}}}}})}});
    w.write(file);
}

void writeGarbage(const fs::path& file)
{
    std::ofstream(file, std::ios::binary) << "glTF but not really";
}

// A scene view on a clock the test controls, with a complete cast unless
// `prepare` changes the resource folder first.
class CastHarness {
public:
    explicit CastHarness(const std::function<void(const fs::path&)>& prepare = {})
        : resources_(gloam::testing::makeSceneResources())
    {
        writeWitch(resources_ / "Witch.glb", true);
        writeHand(resources_ / "Hand.glb");
        if (prepare) {
            prepare(resources_);
        }
        view = gloam::testing::makeTestView(resources_, true, now_, log);
    }
    ~CastHarness()
    {
        view.reset();
        gloam::testing::settleTasks(); // what the view still had going
        fs::remove_all(resources_);
    }
    CastHarness(const CastHarness&) = delete;
    CastHarness& operator=(const CastHarness&) = delete;

    void frame(double step = frameStep)
    {
        now_ += step;
        gloam::testing::sceneDriver().present(*view, step);
    }
    void frames(int count, double step = frameStep)
    {
        for (int i = 0; i < count; ++i) {
            frame(step);
        }
    }
    void ticks(int count, double step = frameStep)
    {
        for (int i = 0; i < count; ++i) {
            now_ += step;
            view->render().scene().update(step);
        }
    }
    bool load()
    {
        EXPECT_TRUE(gloam::testing::runEventsUntil([this] { return view->isReady() || view->isStopped(); }, 20.0));
        return view->isReady();
    }
    void runScene()
    {
        ASSERT_TRUE(load()) << (log.empty() ? std::string("no log") : log.back());
        for (int i = 0; i <= GhostBloom::warmupFrames; ++i) {
            frame();
        }
        view->skipOpening();
        ASSERT_FALSE(view->openingPlaying());
    }
    void click(glm::vec3 world)
    {
        const auto point = view->render().project(world);
        ASSERT_TRUE(point.has_value());
        view->mouseDown(*point);
        view->mouseUp(*point);
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    int countLines(const std::string& prefix) const
    {
        return static_cast<int>(
            std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
    platform::EntityPtr handBones() const { return view->anchor()->findEntity("HandBones"); }
    const fs::path& resources() const { return resources_; }

    std::shared_ptr<GhostView> view;
    std::vector<std::string> log;

private:
    fs::path resources_;
    double now_ = 500.0;
};

class CharacterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove(GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory()));
    }
};

} // namespace

TEST_F(CharacterTest, CastLoadsInOrderAndTheHandRestsUnderGround)
{
    CastHarness scene;
    scene.runScene();
    EXPECT_TRUE(scene.logged("E4 hand skeleton animations=1 duration=2.0"));
    EXPECT_EQ(scene.countLines("E4 WITCH FAILED "), 0);
    EXPECT_EQ(scene.countLines("E4 REACTIONS FAILED "), 0);
    ASSERT_NE(scene.view->graveGhost(), nullptr);
    ASSERT_NE(scene.view->witch(), nullptr);
    ASSERT_NE(scene.view->hand(), nullptr);

    // The ghost joins with the targets, the witch's root just before her moon target.
    const auto& children = scene.view->anchor()->children();
    const auto at = [&children](const platform::EntityPtr& entity) {
        return std::find(children.begin(), children.end(), entity) - children.begin();
    };
    EXPECT_LT(at(scene.view->targetEntities().at("TallGrave")), at(scene.view->graveGhost()->root()));
    EXPECT_EQ(at(scene.view->witch()->root()) + 1, at(scene.view->witch()->moonHit()));
    EXPECT_LT(at(scene.view->witch()->moonHit()), static_cast<std::ptrdiff_t>(children.size()));

    // Not reaching: the clip's first frame, under the ground.
    const platform::EntityPtr bones = scene.handBones();
    ASSERT_NE(bones, nullptr);
    EXPECT_NEAR(bones->position().y, -0.8F, 1e-5F);
    EXPECT_LT(bones->visualBounds(false, nullptr).max.y, 0.1F);

    // Both spots are in view from the default camera.
    EXPECT_TRUE(scene.view->characterVisible("MoonReaction"));
    EXPECT_TRUE(scene.view->characterVisible("HandReaction"));

    scene.view->stop();
    EXPECT_TRUE(scene.view->hand()->playback()->isStopped());
}

TEST_F(CharacterTest, ClickOnTheMoonSendsTheWitchAcrossIt)
{
    CastHarness scene;
    scene.runScene();
    scene.view->setAutomatic(false);
    scene.click(WitchEffect::moonPosition());
    ASSERT_EQ(scene.countLines("E4 witch trigger accepted=true time="), 1);
    WitchEffect& witch = *scene.view->witch();
    EXPECT_FALSE(witch.root()->isEnabled()) << "held back for the lead";
    EXPECT_EQ(witch.cameraPosition(), scene.view->camera()->position(nullptr));

    scene.ticks(93); // 1.453 s
    EXPECT_TRUE(witch.root()->isEnabled());
    const glm::quat early = witch.cape()->orientation();
    const glm::vec3 start = witch.root()->position(nullptr);
    scene.frame(0.5);
    EXPECT_NE(witch.cape()->orientation(), early) << "her cape moves";
    const glm::vec3 later = witch.root()->position(nullptr);
    EXPECT_GT(later.y, start.y) << "she climbs";
    EXPECT_LT(glm::dot(later - start, WitchEffect::right()), 0.0F) << "from right to left";

    // Clicking again during the flight is refused.
    scene.click(WitchEffect::moonPosition());
    EXPECT_EQ(scene.countLines("E4 witch trigger accepted=false time="), 1);

    scene.ticks(64 * 4);
    EXPECT_FALSE(witch.root()->isEnabled()) << "hidden once the reaction is over";
}

TEST_F(CharacterTest, ClickOnTheHandMakesItReachAndSinkBack)
{
    CastHarness scene;
    scene.runScene();
    scene.view->setAutomatic(false);
    const platform::EntityPtr bones = scene.handBones();
    scene.click(HandEffect::wrist());
    ASSERT_EQ(scene.countLines("E4 hand trigger accepted=true time="), 1);
    scene.ticks(64);
    EXPECT_NEAR(bones->position().y, 0.0F, 1e-4F) << "out of its mound at 1 s";
    scene.ticks(32);
    EXPECT_NEAR(bones->position().y, -0.4F, 1e-4F) << "sinking back";
    scene.ticks(64 * 3);
    ASSERT_FALSE(scene.view->characters().handAge());
    EXPECT_NEAR(bones->position().y, -0.8F, 1e-5F) << "under ground again";
}

TEST_F(CharacterTest, MoonTargetCountsOnlyWhileTheHouseSideIsAway)
{
    CastHarness scene;
    scene.runScene();
    WitchEffect& witch = *scene.view->witch();
    EXPECT_TRUE(witch.moonHit()->isEnabled());
    // Swing round to look from the house's side.
    scene.view->setCameraAngles(-0.955F + 3.14159F, 0.044F);
    EXPECT_FALSE(scene.view->houseVisible());
    EXPECT_FALSE(witch.moonHit()->isEnabled());
    EXPECT_EQ(witch.cameraPosition(), scene.view->camera()->position(nullptr));
    EXPECT_FALSE(scene.view->characterVisible("MoonReaction"));
    scene.view->setCameraAngles(-0.955F, 0.044F);
    EXPECT_TRUE(witch.moonHit()->isEnabled());
}

TEST_F(CharacterTest, AutomaticWitchAndHandComeWhenTheirSpotsAreInView)
{
    CastHarness scene;
    scene.runScene();
    bool witchFlew = false;
    bool handReached = false;
    for (int i = 0; i < 64 * 60 && !(witchFlew && handReached); ++i) {
        scene.ticks(1);
        witchFlew = witchFlew || scene.view->witch()->root()->isEnabled();
        handReached = handReached || scene.view->characters().handAge().has_value();
    }
    EXPECT_TRUE(witchFlew);
    EXPECT_TRUE(handReached);
}

TEST_F(CharacterTest, GhostRisesFromItsGraveUnlessTheGraveIsHidden)
{
    CastHarness scene;
    scene.runScene();
    scene.view->setAutomatic(false);
    GraveGhostEffect& ghost = *scene.view->graveGhost();
    EXPECT_FALSE(ghost.root()->isEnabled());
    scene.view->triggerGhost(std::string("TallGrave"));
    EXPECT_TRUE(ghost.root()->isEnabled()) << "the trigger applies at once";
    EXPECT_EQ(ghost.activeID(), "TallGrave");
    const glm::vec3 grave{-2.0F, 0.6F, 2.4F};
    const glm::vec3 at = ghost.root()->position(nullptr);
    EXPECT_LT(glm::distance(glm::vec2(at.x, at.z), glm::vec2(grave.x, grave.z)), 0.5F);
    // It turns its front towards the camera.
    const glm::vec3 front = ghost.root()->orientation() * glm::vec3(0, 0, 1);
    const glm::vec3 toCamera = scene.view->camera()->position(nullptr) - at;
    EXPECT_GT(glm::dot(glm::normalize(glm::vec2(front.x, front.z)), glm::normalize(glm::vec2(toCamera.x, toCamera.z))),
              0.999F);

    scene.frames(10);
    EXPECT_GT(ghost.root()->position(nullptr).y, at.y);
    scene.view->targetEntities().at("TallGrave")->setEnabled(false);
    scene.frame();
    EXPECT_FALSE(ghost.root()->isEnabled()) << "a hidden grave gives no target";
}

TEST_F(CharacterTest, BadCharacterFilesAreLoggedAndTheSceneRunsOn)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> prepare;
        const char* file;     // the file whose load error the line carries, if any
        const char* expected; // a line that must be logged, or its prefix
        bool witch;
        bool handClip;
    };
    const std::vector<Case> cases{
        {"missing witch", [](const fs::path& f) { fs::remove(f / "Witch.glb"); }, "Witch.glb", "E4 WITCH FAILED ",
         false, true},
        {"broken witch", [](const fs::path& f) { writeGarbage(f / "Witch.glb"); }, "Witch.glb", "E4 WITCH FAILED ",
         false, true},
        {"witch without her cape", [](const fs::path& f) { writeWitch(f / "Witch.glb", false); }, nullptr, nullptr,
         true, true},
        {"hand without its clip", [](const fs::path& f) { writeHand(f / "Hand.glb", false); }, nullptr,
         "E4 HAND ANIMATION FAILED: missing skeletal clip", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CastHarness scene(c.prepare);
        scene.runScene();
        if (c.file != nullptr) {
            std::string error;
            try {
                platform::ModelLoader::loadNow(scene.resources() / c.file);
            } catch (const std::exception& e) {
                error = e.what();
            }
            ASSERT_FALSE(error.empty());
            EXPECT_TRUE(scene.logged(c.expected + error)) << "expected " << c.expected << error;
        } else if (c.expected != nullptr) {
            EXPECT_TRUE(scene.logged(c.expected));
        }
        EXPECT_EQ(scene.view->witch() != nullptr, c.witch);
        EXPECT_EQ(scene.view->characterVisible("MoonReaction"), c.witch) << "no witch, no moon target";
        ASSERT_NE(scene.view->hand(), nullptr);
        EXPECT_EQ(scene.view->hand()->playback() != nullptr, c.handClip);
        EXPECT_TRUE(scene.view->characterVisible("HandReaction")) << "the hand's click box works regardless";
        if (c.witch) {
            EXPECT_EQ(scene.countLines("E4 WITCH FAILED "), 0);
            EXPECT_EQ(scene.view->witch()->cape() != nullptr, std::string(c.what) != "witch without her cape");
        }

        // Every reaction still runs through.
        scene.view->triggerWitch();
        scene.view->triggerHand();
        scene.view->triggerGhost(std::string("TallGrave"));
        for (int i = 0; i < 5 * 16; ++i) {
            scene.frame(1.0 / 16);
        }
        EXPECT_FALSE(scene.view->isStopped());
        EXPECT_TRUE(scene.view->isReady());
    }
}

TEST_F(CharacterTest, MissingOrBrokenHandFailsTheSceneLoad)
{
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken" : "missing");
        CastHarness scene([broken](const fs::path& f) {
            if (broken) {
                writeGarbage(f / "Hand.glb");
            } else {
                fs::remove(f / "Hand.glb");
            }
        });
        EXPECT_FALSE(scene.load());
        ASSERT_EQ(scene.countLines("E4 ENVIRONMENT FAILED "), 1);
        const std::string line = *std::find_if(scene.log.begin(), scene.log.end(), [](const std::string& l) {
            return l.rfind("E4 ENVIRONMENT FAILED ", 0) == 0;
        });
        EXPECT_NE(line.find("Hand.glb"), std::string::npos) << line;
        EXPECT_TRUE(
            scene.logged("Halloween scene unavailable: " + line.substr(std::string("E4 ENVIRONMENT FAILED ").size())));
        EXPECT_TRUE(scene.view->isStopped());
        ASSERT_TRUE(scene.view->failureLabel().has_value());
        EXPECT_EQ(scene.view->failureLabel()->text, "Unable to load the Halloween scene.");
    }
}
