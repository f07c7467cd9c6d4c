// What a keyboard user and a volume drag meet: the focus chain from the
// scene through every control, Escape on the scene, the labels' mnemonics,
// a vehicle picker that loads only on a deliberate choice, and a volume
// that is heard at once and stored once the slider settles.
#include "app/ControlRow.h"
#include "app/SceneHost.h"
#include "app/SoundBar.h"
#include "app/VehiclePicker.h"
#include "app/VolumeSaver.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "tests/app/AppHarness.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace gloam;
using gloam::testing::AppHarness;
using gloam::testing::runEventsUntil;

namespace {

class GhostAppKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

// The window shown and active, so that the focus can move in it.
void activate(AppHarness& harness)
{
    harness.window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&harness.window()));
}

TEST_F(GhostAppKeyboardTest, TabLeadsFromTheSceneThroughEveryControlAndBack)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSoundControls();
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton); // sound on: the slider takes part
    activate(harness);
    QWidget* scene = harness.window().sceneHost()->focusTarget();
    ASSERT_TRUE(runEventsUntil([&] {
        scene->setFocus(Qt::MouseFocusReason);
        return scene->hasFocus();
    }));

    const std::vector<QWidget*> expected = {harness.app->picker(),
                                            harness.app->automaticButton(),
                                            harness.app->effectsButton(),
                                            harness.app->openingButton(),
                                            harness.app->soundButton(),
                                            harness.app->soundVolume(),
                                            scene};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << "Tab should reach " << next->metaObject()->className();
    }
    for (auto back = expected.rbegin() + 1; back != expected.rend(); ++back) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), *back)
            << "Shift+Tab should reach " << (*back)->metaObject()->className();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), scene);
}

TEST_F(GhostAppKeyboardTest, EscapeOnTheSceneSkipsTheOpeningAndOtherKeysPassOn)
{
    AppHarness harness;
    harness.launch();
    harness.waitUntilReady();
    harness.frames(GhostBloom::warmupFrames + 1);
    ASSERT_TRUE(harness.scene().openingPlaying());
    QWidget* scene = harness.window().sceneHost();

    // A key the scene does not use is not accepted there: it goes on up.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(scene, &space);
    EXPECT_FALSE(space.isAccepted());
    EXPECT_TRUE(harness.scene().openingPlaying());

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(scene, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_FALSE(harness.scene().openingPlaying());

    // With the opening over, Escape too is none of the scene's business.
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(scene, &again);
    EXPECT_FALSE(again.isAccepted());
}

TEST_F(GhostAppKeyboardTest, TheVehicleAndVolumeLabelsLeadToTheirControls)
{
    AppHarness harness;
    harness.launch();
    struct Case {
        QString text;
        QWidget* buddy;
    };
    const Case cases[] = {
        {QStringLiteral("&Vehicle"), harness.app->picker()},
        {QStringLiteral("V&olume"), harness.app->soundVolume()},
    };
    for (const Case& label : cases) {
        SCOPED_TRACE(label.text.toStdString());
        QLabel* found = nullptr;
        for (QLabel* each : harness.window().findChildren<QLabel*>()) {
            if (each->text() == label.text) {
                found = each;
            }
        }
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->buddy(), label.buddy);
    }
}

TEST_F(GhostAppKeyboardTest, BrowsingThePickerLoadsNothingAndEnterChooses)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();
    activate(harness);
    app::VehiclePicker* picker = harness.app->picker();
    picker->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(runEventsUntil([&] { return picker->hasFocus(); }));

    QTest::keyClick(picker, Qt::Key_Down);
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Brusker"));
    QWheelEvent notch(QPointF(10, 10), picker->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(picker, &notch);
    EXPECT_EQ(picker->currentText(), QStringLiteral("Spirra"));
    EXPECT_FALSE(harness.app->switchingVehicle()) << "arrows and the wheel only browse";
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard"));

    QTest::keyClick(picker, Qt::Key_Up);
    QTest::keyClick(picker, Qt::Key_Return);
    ASSERT_TRUE(harness.app->switchingVehicle());
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard \u00b7 Loading Brusker\u2026"));
    EXPECT_FALSE(picker->hasFocus()) << "disabled while it loads";
    EXPECT_EQ(picker->currentText(), QStringLiteral("Brusker")) << "the choice stays shown";

    harness.finishSwitch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::brusker);
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::brusker);
    EXPECT_TRUE(picker->hasFocus()) << "the keyboard carries on from the picker";
}

TEST_F(GhostAppKeyboardTest, LeavingThePickerAfterBrowsingShowsTheVehicleInUse)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();
    activate(harness);
    app::VehiclePicker* picker = harness.app->picker();
    picker->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(runEventsUntil([&] { return picker->hasFocus(); }));
    QTest::keyClick(picker, Qt::Key_Down);
    ASSERT_EQ(picker->currentText(), QStringLiteral("Vantre"));
    QTest::keyClick(picker, Qt::Key_Tab);
    EXPECT_FALSE(picker->hasFocus());
    EXPECT_EQ(picker->currentText(), QStringLiteral("Corsel"));
    EXPECT_FALSE(harness.app->switchingVehicle());
}

TEST_F(GhostAppKeyboardTest, ChoosingFromTheOpenListLoads)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();
    // What the open list reports when an item is clicked in it.
    emit harness.app->picker()->activated(3);
    ASSERT_TRUE(harness.app->switchingVehicle());
    harness.finishSwitch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::spirra);
}

class GhostAppVolumeTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

// The app with a store of the volume that counts its writes (and writes).
struct CountedVolume {
    std::atomic<int> writes{0};
    AppHarness::Options options()
    {
        AppHarness::Options options;
        options.storeVolume = [this](float volume) {
            SoundPreference::saveVolume(SoundMode::app, volume);
            writes += 1;
        };
        return options;
    }
};

TEST_F(GhostAppVolumeTest, DraggingIsHeardAtOnceAndWritesTheFileOnce)
{
    CountedVolume counted;
    AppHarness harness(counted.options());
    harness.launch();
    harness.runScene();
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
    ASSERT_TRUE(harness.scene().sound().enabled());
    QSlider* slider = harness.app->soundVolume();
    ASSERT_TRUE(slider->isEnabled());

    // The handle held and moved through many values, as a mouse drag does.
    slider->setSliderDown(true);
    for (int value = 740; value >= 200; value -= 20) {
        slider->setSliderPosition(value);
        EXPECT_FLOAT_EQ(harness.scene().sound().volume(), static_cast<float>(value) / 1000.0F) << "heard at once";
    }
    // Longer than the quiet spell after a key: a held handle waits for its release.
    gloam::testing::runEventsFor(2.0 * app::VolumeSaver::quietMilliseconds / 1000.0);
    EXPECT_TRUE(harness.app->volumeSaver().pending());
    EXPECT_EQ(counted.writes.load(), 0) << "nothing stored while the handle is held";
    slider->setSliderDown(false);
    harness.app->volumeSaver().flush();
    EXPECT_EQ(counted.writes.load(), 1);
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.2F);
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::app)) << "the switch's value is left alone";
}

TEST_F(GhostAppVolumeTest, KeysStepByOneAndTenPercentAndAreStoredAfterAQuietSpell)
{
    CountedVolume counted;
    AppHarness harness(counted.options());
    harness.launch();
    harness.runScene();
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
    QSlider* slider = harness.app->soundVolume();
    ASSERT_EQ(slider->value(), 750);
    const int writesBefore = counted.writes.load();

    struct Step {
        Qt::Key key;
        int value;
    };
    const Step steps[] = {{Qt::Key_Right, 760},
                          {Qt::Key_Right, 770},
                          {Qt::Key_PageUp, 870},
                          {Qt::Key_Left, 860},
                          {Qt::Key_PageDown, 760}};
    for (const Step& step : steps) {
        QTest::keyClick(slider, step.key);
        EXPECT_EQ(slider->value(), step.value);
        EXPECT_FLOAT_EQ(harness.scene().sound().volume(), static_cast<float>(step.value) / 1000.0F);
    }
    EXPECT_TRUE(harness.app->volumeSaver().pending());
    ASSERT_TRUE(runEventsUntil([&] { return !harness.app->volumeSaver().pending(); }, 10.0));
    harness.app->volumeSaver().flush();
    EXPECT_EQ(counted.writes.load(), writesBefore + 1) << "five steps, one write";
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.76F);
}

TEST_F(GhostAppVolumeTest, AVolumeNotYetStoredIsWrittenBeforeTheAppEnds)
{
    CountedVolume counted;
    {
        AppHarness harness(counted.options());
        harness.launch();
        harness.runScene();
        QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
        QTest::keyClick(harness.app->soundVolume(), Qt::Key_PageDown);
        ASSERT_TRUE(harness.app->volumeSaver().pending());
        harness.window().close();
    }
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.65F);
}

TEST_F(GhostAppVolumeTest, TheSwitchStoresTheSliderWithItsValueAndNothingLandsAfter)
{
    CountedVolume counted;
    AppHarness harness(counted.options());
    harness.launch();
    harness.runScene();
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
    QTest::keyClick(harness.app->soundVolume(), Qt::Key_PageDown);
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton); // off again, before the quiet spell ends
    harness.app->volumeSaver().flush();
    gloam::testing::runEventsFor(0.1);
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::app));
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.65F);
    EXPECT_FALSE(harness.app->volumeSaver().pending());
}

} // namespace
