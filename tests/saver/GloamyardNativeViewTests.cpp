#include "saver/GloamyardNativeView.h"
#include "saver/GloamyardViewController.h"

#include "FakeSaverHost.h"

#include <gtest/gtest.h>

namespace gloam::saver {
namespace {

using testing::FakeScene;
using testing::FakeServices;
using testing::FakeWindow;

const SaverScreen mainScreen{1, {1512, 982}, 2.0};
const SaverScreen sideScreen{2, {1920, 1080}, 1.0};

class NativeViewTest : public ::testing::Test {
protected:
    void SetUp() override { GloamyardNativeView::resetSharedState(); }
    void TearDown() override { GloamyardNativeView::resetSharedState(); }

    std::shared_ptr<FakeWindow> window(const std::optional<SaverScreen>& screen = mainScreen)
    {
        return std::make_shared<FakeWindow>(screen);
    }

    // A view as the host brings one up: made, put in a window, laid out,
    // started.
    std::shared_ptr<GloamyardNativeView> started(const std::shared_ptr<FakeWindow>& in, SaverSize frame = {1512, 982})
    {
        auto view = GloamyardNativeView::make(services, {}, false);
        view->setFrameSize(frame);
        view->moveToWindow(in);
        view->layout();
        view->startAnimation();
        return view;
    }

    std::shared_ptr<FakeScene> fakeScene(const GloamyardNativeView& view)
    {
        return std::dynamic_pointer_cast<FakeScene>(view.scene());
    }

    void settle() { services.clock.advance(GloamyardNativeView::settleDelay); }

    FakeServices services;
};

TEST_F(NativeViewTest, MakesOneSceneAfterTheSettleDelayWithItsRecords)
{
    auto in = window();
    auto view = started(in);
    EXPECT_EQ(view->scene(), nullptr) << "nothing is built before the settle delay";
    EXPECT_TRUE(view->creationPending());
    services.clock.advance(0.19);
    EXPECT_EQ(view->scene(), nullptr);
    services.clock.advance(0.01);
    ASSERT_NE(view->scene(), nullptr);
    EXPECT_FALSE(view->creationPending());

    const std::string& id = view->instance();
    EXPECT_EQ(services.records.at(0), "native window attached=true id=" + id);
    EXPECT_EQ(services.records.at(1), "native start id=" + id);
    EXPECT_EQ(services.recordsStartingWith("native create").at(0),
              "native create id=" + id + " vehicle=corsel frame=(1512.0, 982.0) bounds=(1512.0, 982.0) " +
                  "screen=(1512.0, 982.0) scale=2.0");
    EXPECT_EQ(in->shown, std::vector<const SaverScene*>{view->scene().get()});
    EXPECT_EQ(services.heldActivities(), 1);
    EXPECT_EQ(services.activityReasons.at(0), "Render the visible Gloamyard screensaver");
    EXPECT_EQ(GloamyardNativeView::owner(1), view);

    fakeScene(*view)->onReady();
    EXPECT_EQ(services.records.back(), "native scene ready id=" + id);
}

TEST_F(NativeViewTest, BurstsOfLayoutAndStartCallsBuildOneScene)
{
    auto view = started(window());
    for (int i = 0; i < 5; ++i) {
        view->layout();
        view->startAnimation();
        services.clock.advance(0.05);
    }
    settle();
    view->layout();
    view->startAnimation();
    settle();
    EXPECT_EQ(services.scenes.size(), 1U);
    EXPECT_EQ(services.recordsStartingWith("native create").size(), 1U);
}

TEST_F(NativeViewTest, NoSceneWithoutWindowScreenOrSizeUntilALaterTry)
{
    struct Case {
        const char* name;
        bool inWindow;
        std::optional<SaverScreen> screen;
        SaverSize frame;
    };
    const Case cases[] = {
        {"no window", false, mainScreen, {800, 600}},
        {"no screen", true, std::nullopt, {800, 600}},
        {"zero width", true, mainScreen, {0, 600}},
        {"zero height", true, mainScreen, {800, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GloamyardNativeView::resetSharedState();
        auto in = window(c.screen);
        auto view = GloamyardNativeView::make(services, {}, false);
        view->setFrameSize(c.frame);
        if (c.inWindow) {
            view->moveToWindow(in);
        }
        view->layout();
        view->startAnimation();
        services.clock.advance(1.0);
        EXPECT_EQ(view->scene(), nullptr);

        // The next layout, attach or activation tries again.
        in->onScreen = mainScreen;
        view->setFrameSize({800, 600});
        if (!c.inWindow) {
            view->moveToWindow(in);
        }
        view->layout();
        settle();
        EXPECT_NE(view->scene(), nullptr);
        view->shutdown("test");
    }
}

TEST_F(NativeViewTest, StopWithoutASceneCancelsThePendingCreationSilently)
{
    auto view = started(window());
    ASSERT_TRUE(view->creationPending());
    view->stopAnimation();
    EXPECT_FALSE(view->creationPending());
    services.clock.advance(5.0);
    EXPECT_EQ(view->scene(), nullptr);
    EXPECT_TRUE(services.recordsStartingWith("native release").empty());
}

TEST_F(NativeViewTest, StopReleasesTheSceneWithItsReasonAndUpdateCount)
{
    auto in = window();
    auto view = started(in);
    settle();
    auto scene = fakeScene(*view);
    scene->updates = 42;
    view->stopAnimation();
    EXPECT_EQ(services.records.back(), "native release id=" + view->instance() + " reason=stopAnimation updates=42");
    EXPECT_EQ(scene->stops, 1);
    EXPECT_TRUE(in->shown.empty());
    EXPECT_EQ(view->scene(), nullptr);
    EXPECT_FALSE(view->active());
    EXPECT_EQ(services.heldActivities(), 0);
    EXPECT_EQ(services.clock.pending(), 0U) << "the audio timer ends with the scene";

    // Idempotent: a second shutdown writes nothing.
    const auto count = services.records.size();
    view->shutdown("again");
    EXPECT_EQ(services.records.size(), count);
}

TEST_F(NativeViewTest, SecondViewOnTheDisplayAdoptsTheSceneWhenTheVehicleIsUnchanged)
{
    auto firstWindow = window();
    auto first = started(firstWindow);
    settle();
    auto scene = first->scene();

    auto secondWindow = window();
    auto second = started(secondWindow);
    settle();

    EXPECT_EQ(second->scene(), scene) << "the running scene is handed over";
    EXPECT_EQ(fakeScene(*second)->stops, 0);
    EXPECT_EQ(services.scenes.size(), 1U);
    EXPECT_TRUE(first->superseded());
    EXPECT_FALSE(first->active());
    EXPECT_EQ(first->scene(), nullptr);
    EXPECT_TRUE(firstWindow->shown.empty());
    EXPECT_EQ(secondWindow->shown, std::vector<const SaverScene*>{scene.get()});
    EXPECT_EQ(services.recordsStartingWith("native transfer").at(0),
              "native transfer from=" + first->instance() + " to=" + second->instance());
    EXPECT_TRUE(services.recordsStartingWith("native release").empty());
    EXPECT_EQ(GloamyardNativeView::owner(1), second);

    // The adopted scene's ready callback now speaks for the new owner.
    fakeScene(*second)->onReady();
    EXPECT_EQ(services.records.back(), "native scene ready id=" + second->instance());
}

TEST_F(NativeViewTest, SecondViewReleasesTheSceneAndBuildsItsOwnWhenTheVehicleChanged)
{
    auto first = started(window());
    settle();
    auto old = fakeScene(*first);
    services.vehicle = Vehicle::spirra;

    auto second = started(window());
    settle();

    EXPECT_EQ(old->stops, 1);
    EXPECT_NE(second->scene(), old);
    EXPECT_EQ(fakeScene(*second)->vehicle(), Vehicle::spirra);
    EXPECT_TRUE(services.recordsStartingWith("native transfer").empty());
    EXPECT_EQ(services.recordsStartingWith("native release").at(0),
              "native release id=" + first->instance() + " reason=replaced on display updates=0");
}

TEST_F(NativeViewTest, ASupersededViewStaysInertUntilDetached)
{
    auto firstWindow = window();
    auto first = started(firstWindow);
    settle();
    auto second = started(window());
    settle();
    ASSERT_TRUE(first->superseded());
    const auto running = second->scene();

    first->startAnimation();
    first->layout();
    first->moveToWindow(firstWindow);
    services.clock.advance(1.0);
    EXPECT_EQ(first->scene(), nullptr);
    EXPECT_FALSE(first->active());

    first->moveToWindow(nullptr);
    EXPECT_FALSE(first->superseded());
    first->moveToWindow(firstWindow);
    settle();
    EXPECT_EQ(first->scene(), running) << "taking the display back adopts the scene again";
    EXPECT_EQ(second->scene(), nullptr);
    EXPECT_TRUE(second->superseded());
}

TEST_F(NativeViewTest, ViewsOnDifferentDisplaysEachHaveTheirOwnScene)
{
    auto left = started(window(mainScreen));
    auto right = started(window(sideScreen));
    settle();
    ASSERT_NE(left->scene(), nullptr);
    ASSERT_NE(right->scene(), nullptr);
    EXPECT_NE(left->scene(), right->scene());
    EXPECT_FALSE(left->superseded());
    EXPECT_FALSE(right->superseded());
}

TEST_F(NativeViewTest, ScreensWithoutANumberShareOneOwnerSlot)
{
    const SaverScreen unnumbered{std::nullopt, {800, 600}, 1.0};
    auto first = started(window(unnumbered));
    settle();
    auto second = started(window(SaverScreen{std::nullopt, {1024, 768}, 1.0}));
    settle();
    EXPECT_TRUE(first->superseded());
    EXPECT_EQ(GloamyardNativeView::owner(0), second);
}

TEST_F(NativeViewTest, APreviewOutsideASessionNeverAllowsSoundAndSaysSoOnce)
{
    services.running = false;
    auto view = started(window());
    settle();
    services.clock.advance(10.0);
    auto scene = fakeScene(*view);
    ASSERT_FALSE(scene->soundAllowed.empty());
    for (const bool allowed : scene->soundAllowed) {
        EXPECT_FALSE(allowed);
    }
    EXPECT_GE(scene->soundAllowed.size(), 10U) << "decided again every second";
    EXPECT_EQ(services.recordsStartingWith("native audio allowed="),
              std::vector<std::string>{"native audio allowed=false id=" + view->instance()});
}

TEST_F(NativeViewTest, OnlyTheFirstDisplayIsAllowedSoundInARealSession)
{
    auto primary = started(window(mainScreen));
    auto secondary = started(window(sideScreen));
    settle();
    EXPECT_TRUE(fakeScene(*primary)->soundAllowed.back());
    EXPECT_FALSE(fakeScene(*secondary)->soundAllowed.back());
    EXPECT_EQ(primary->lastAudioAllowed(), true);
    EXPECT_EQ(secondary->lastAudioAllowed(), false);
}

TEST_F(NativeViewTest, FirstScreenComparisonWhenScreensAreMissing)
{
    struct Case {
        const char* name;
        std::optional<SaverScreen> mine;
        std::optional<SaverScreen> first;
        bool allowed;
    };
    const Case cases[] = {
        {"both missing", std::nullopt, std::nullopt, true},
        {"only the first missing", mainScreen, std::nullopt, false},
        {"same screen", mainScreen, mainScreen, true},
        {"another screen", sideScreen, mainScreen, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GloamyardNativeView::resetSharedState();
        services.first = c.first;
        auto view = started(window(c.mine));
        EXPECT_EQ(view->lastAudioAllowed(), c.allowed);
    }
}

TEST_F(NativeViewTest, AudioIsRecordedOnlyWhenTheDecisionChangesAndRefreshesWhenAllowedAgain)
{
    services.running = false;
    auto view = started(window());
    settle();
    auto scene = fakeScene(*view);
    const int refreshesBefore = scene->refreshes;
    services.clock.advance(3.0);
    EXPECT_EQ(scene->refreshes, refreshesBefore) << "nothing to pick up while sound stays off";

    services.running = true;
    services.clock.advance(1.0);
    EXPECT_EQ(scene->refreshes, refreshesBefore + 1) << "sound settings are read again when sound is allowed";
    EXPECT_TRUE(scene->soundAllowed.back());
    services.clock.advance(3.0);
    EXPECT_EQ(scene->refreshes, refreshesBefore + 1);

    services.running = false;
    services.clock.advance(1.0);
    EXPECT_EQ(services.recordsStartingWith("native audio allowed="),
              (std::vector<std::string>{"native audio allowed=false id=" + view->instance(),
                                        "native audio allowed=true id=" + view->instance(),
                                        "native audio allowed=false id=" + view->instance()}));
}

TEST_F(NativeViewTest, SessionStartRestartsTheOpeningOnlyWhenTheSessionWasNotActive)
{
    services.running = false;
    auto view = started(window());
    settle();
    auto scene = fakeScene(*view);
    SaverNotifications& centre = services.notifications();

    centre.postSession("BLANK", true);
    EXPECT_EQ(scene->openings, 1);
    centre.postSession("LOCK", true);
    EXPECT_EQ(scene->openings, 1) << "a second start while active restarts nothing";
    centre.postSession("UNBLANK", false);
    EXPECT_EQ(view->scene(), nullptr);

    // The view's scene went with the stop; a new one is built on the next start.
    centre.postSession("BLANK", true);
    settle();
    ASSERT_NE(view->scene(), nullptr);
    centre.postSession("UNBLANK", false);
    centre.postSession("BLANK", true);
    EXPECT_EQ(services.recordsStartingWith("native session opening restart").size(), 1U)
        << "only owners that have a scene restart their opening";

    const std::string id = view->instance();
    EXPECT_EQ(services.recordsStartingWith("native session opening restart").at(0),
              "native session opening restart id=" + id);
    EXPECT_EQ(services.recordsStartingWith("native session B").front(), "native session BLANK id=" + id);
    EXPECT_EQ(services.recordsStartingWith("native session U").front(), "native session UNBLANK id=" + id);
}

TEST_F(NativeViewTest, FirstSessionStartCountsAsNewEvenWhenTheSaverAlreadyRuns)
{
    services.running = true;
    auto view = started(window());
    settle();
    services.notifications().postSession("BLANK", true);
    EXPECT_EQ(fakeScene(*view)->openings, 1) << "the first signal of the process always restarts the opening";
    services.notifications().postSession("BLANK", true);
    EXPECT_EQ(fakeScene(*view)->openings, 1);
}

TEST_F(NativeViewTest, SessionStopEndsTheViewUntilTheNextStart)
{
    auto in = window();
    auto view = started(in);
    settle();
    services.notifications().postSession("UNBLANK", false);
    EXPECT_TRUE(view->ended());
    EXPECT_EQ(services.recordsStartingWith("native release").at(0),
              "native release id=" + view->instance() + " reason=session stopped updates=0");

    view->moveToWindow(in);
    view->layout();
    services.notifications().postDisplay(false);
    services.clock.advance(1.0);
    EXPECT_EQ(view->scene(), nullptr) << "attach and wake after a session stop build nothing";

    view->startAnimation();
    settle();
    EXPECT_NE(view->scene(), nullptr) << "the host's start clears the stop";
}

TEST_F(NativeViewTest, SleepReleasesAndWakeRebuildsAfterTheSettleDelay)
{
    auto view = started(window());
    settle();
    auto before = view->scene();
    services.notifications().postDisplay(true);
    EXPECT_TRUE(view->displayAsleep());
    EXPECT_EQ(view->scene(), nullptr);
    EXPECT_EQ(services.recordsStartingWith("native release").at(0),
              "native release id=" + view->instance() + " reason=display sleep updates=0");
    view->startAnimation();
    services.clock.advance(1.0);
    EXPECT_EQ(view->scene(), nullptr) << "no scene while the display sleeps";

    services.notifications().postDisplay(false);
    services.clock.advance(0.1);
    EXPECT_EQ(view->scene(), nullptr);
    services.clock.advance(0.1);
    ASSERT_NE(view->scene(), nullptr);
    EXPECT_NE(view->scene(), before);
}

TEST_F(NativeViewTest, BoundsAreNormalisedToTheScreenWidth)
{
    struct Case {
        SaverSize frame;
        SaverSize bounds;
    };
    const Case cases[] = {
        {{3024, 1964}, {1512, 982}},
        {{1512, 982}, {1512, 982}},
        {{200, 150}, {200, 150}},
        {{1, 1}, {1, 1}},
    };
    for (const Case& c : cases) {
        GloamyardNativeView::resetSharedState();
        auto view = started(window(), c.frame);
        settle();
        EXPECT_EQ(view->bounds(), c.bounds) << describe(c.frame);
        ASSERT_NE(view->scene(), nullptr);
        EXPECT_EQ(fakeScene(*view)->frame, c.bounds);
    }
}

TEST_F(NativeViewTest, ResizeToOnePixelAndBackKeepsOneSceneFollowingTheBounds)
{
    auto view = started(window());
    settle();
    auto scene = fakeScene(*view);
    view->setFrameSize({1, 1});
    view->layout();
    EXPECT_EQ(scene->frame, (SaverSize{1, 1}));
    view->setFrameSize({1512, 982});
    view->layout();
    settle();
    EXPECT_EQ(scene->frame, (SaverSize{1512, 982}));
    EXPECT_EQ(view->scene(), scene);
    EXPECT_EQ(services.scenes.size(), 1U);
}

TEST_F(NativeViewTest, FlagsFollowTheLifecycleTable)
{
    // From a view showing a scene, each host event and what it leaves.
    struct Case {
        const char* event;
        std::function<void(GloamyardNativeView&, FakeServices&)> apply;
        bool active, ended, asleep, superseded, scene;
    };
    const Case cases[] = {
        {"startAnimation", [](auto& v, auto&) { v.startAnimation(); }, true, false, false, false, true},
        {"stopAnimation", [](auto& v, auto&) { v.stopAnimation(); }, false, false, false, false, false},
        {"detached", [](auto& v, auto&) { v.moveToWindow(nullptr); }, false, false, false, false, false},
        {"layout", [](auto& v, auto&) { v.layout(); }, true, false, false, false, true},
        {"session start", [](auto&, auto& s) { s.notifications().postSession("BLANK", true); }, true, false, false,
         false, true},
        {"session stop", [](auto&, auto& s) { s.notifications().postSession("UNBLANK", false); }, false, true, false,
         false, false},
        {"sleep", [](auto&, auto& s) { s.notifications().postDisplay(true); }, false, false, true, false, false},
        {"wake", [](auto&, auto& s) { s.notifications().postDisplay(false); }, true, false, false, false, true},
        {"replaced by another process", [](auto& v, auto&) { v.replacedByAnotherProcess(); }, false, false, false, true,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        GloamyardNativeView::resetSharedState();
        auto view = started(window());
        settle();
        ASSERT_NE(view->scene(), nullptr);
        c.apply(*view, services);
        settle();
        EXPECT_EQ(view->active(), c.active);
        EXPECT_EQ(view->ended(), c.ended);
        EXPECT_EQ(view->displayAsleep(), c.asleep);
        EXPECT_EQ(view->superseded(), c.superseded);
        EXPECT_EQ(view->scene() != nullptr, c.scene);
        EXPECT_EQ(view->holdsActivity(), c.scene) << "the activity is held exactly while a scene exists";
    }
}

TEST_F(NativeViewTest, DeinitReleasesTheSceneAndStopsObserving)
{
    const auto observersBefore = services.notifications().observerCount();
    auto view = started(window());
    EXPECT_GT(services.notifications().observerCount(), observersBefore);
    settle();
    auto scene = fakeScene(*view);
    const std::string id = view->instance();
    view.reset();

    EXPECT_EQ(scene->stops, 1);
    EXPECT_EQ(services.notifications().observerCount(), observersBefore);
    ASSERT_GE(services.records.size(), 2U);
    EXPECT_EQ(services.records[services.records.size() - 2],
              "native release id=" + id + " reason=view deinit updates=0");
    EXPECT_EQ(services.records.back(), "native view deinit id=" + id);
    EXPECT_EQ(GloamyardNativeView::owner(1), nullptr) << "a freed view leaves the registry";
    services.clock.advance(5.0);
    services.notifications().postSession("BLANK", true);
}

TEST_F(NativeViewTest, APendingCreationForAFreedViewDoesNothing)
{
    auto view = started(window());
    view.reset();
    services.clock.advance(1.0);
    EXPECT_TRUE(services.scenes.empty());
}

TEST_F(NativeViewTest, EveryViewHasItsOwnInstance)
{
    auto a = GloamyardNativeView::make(services, {}, false);
    auto b = GloamyardNativeView::make(services, {}, true);
    EXPECT_NE(a->instance(), b->instance());
    EXPECT_EQ(a->instance().size(), 36U);
    EXPECT_TRUE(b->isPreview());
}

TEST_F(NativeViewTest, ControllerShutsItsViewDownAndMakesNoneItNeverLoaded)
{
    {
        GloamyardViewController unused(services);
        EXPECT_FALSE(unused.isViewLoaded());
    }
    EXPECT_TRUE(services.records.empty()) << "releasing an unloaded controller makes no view";

    auto in = window();
    auto controller = std::make_unique<GloamyardViewController>(services);
    std::shared_ptr<GloamyardNativeView> view = controller->view();
    view->setFrameSize({800, 600});
    view->moveToWindow(in);
    view->startAnimation();
    settle();
    ASSERT_NE(view->scene(), nullptr);
    controller.reset();
    EXPECT_EQ(services.recordsStartingWith("native release").at(0),
              "native release id=" + view->instance() + " reason=controller deinit updates=0");
}

} // namespace
} // namespace gloam::saver
