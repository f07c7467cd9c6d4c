// The sound bar, the stored choices it reads and writes, and the app's
// help, credits and menu.
#include "app/ControlRow.h"
#include "app/SoundBar.h"
#include "app/VolumeSaver.h"
#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "engine/sound/SceneSound.h"
#include "tests/app/AppHarness.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

using namespace gloam;
using gloam::testing::AppHarness;
using gloam::testing::runEventsUntil;

namespace {

std::filesystem::path storeFile()
{
    return GloamyardPreferences::sharedStoreFile(GloamyardPreferences::configDirectory());
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class GhostAppSoundTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

TEST_F(GhostAppSoundTest, SoundStartsOffAndTheButtonTurnsItOnWithoutADevice)
{
    AppHarness harness;
    harness.launch();
    EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound off \u00b7 Turn on"));
    EXPECT_EQ(harness.app->soundButton()->toolTip(),
              QStringLiteral("App audio only. Enable screensaver audio separately in Screen Saver Options."));
    EXPECT_FALSE(harness.app->soundVolume()->isEnabled());
    EXPECT_EQ(harness.app->soundVolume()->value(), 750);
    EXPECT_EQ(harness.app->soundVolume()->accessibleName(), QStringLiteral("App sound volume"));

    harness.runScene();
    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
    EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound on \u00b7 Mute"));
    EXPECT_TRUE(harness.app->soundVolume()->isEnabled());
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::app)) << "stored";
    // The players cannot open here: the scene goes on silently.
    harness.app->flashNow();
    harness.frames(3);
    EXPECT_TRUE(harness.scene().sound().loadError().has_value());
    EXPECT_FALSE(harness.scene().isStopped());

    harness.app->soundVolume()->setValue(300);
    harness.app->volumeSaver().flush();
    EXPECT_FLOAT_EQ(SoundPreference::volume(SoundMode::app), 0.3F);
    EXPECT_FLOAT_EQ(harness.scene().sound().volume(), 0.3F);

    QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
    EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound off \u00b7 Turn on"));
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::app));
    EXPECT_FALSE(harness.app->soundVolume()->isEnabled());
}

TEST_F(GhostAppSoundTest, ActivationRereadsTheStoredSoundAndFollowsTheStoredVehicle)
{
    AppHarness harness;
    harness.launch();
    harness.runScene();
    harness.app->refreshSceneControls();

    // Chosen meanwhile in the screen saver's options.
    SoundPreference::save(SoundMode::app, true, 0.4F);
    VehiclePreference::setSelected(Vehicle::spirra);
    harness.app->applicationDidBecomeActive();
    EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound on \u00b7 Mute"));
    EXPECT_EQ(harness.app->soundVolume()->value(), 400);
    ASSERT_TRUE(harness.app->switchingVehicle());
    EXPECT_EQ(harness.window().windowTitle(), QStringLiteral("Gloamyard \u00b7 Loading Spirra\u2026"));
    harness.finishSwitch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::spirra);
    EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Spirra"));

    // Nothing changed: activation leaves the scene alone.
    harness.app->applicationDidBecomeActive();
    EXPECT_FALSE(harness.app->switchingVehicle());
}

TEST_F(GhostAppSoundTest, ActivationBeforeTheSceneIsReadyDoesNotSwitch)
{
    AppHarness harness;
    harness.launch();
    VehiclePreference::setSelected(Vehicle::brusker);
    harness.app->applicationDidBecomeActive();
    EXPECT_FALSE(harness.app->switchingVehicle());
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::corsel);
}

// Hand-written settings: the app reads the catalogue's defaults or the
// clamped value, and leaves the file alone until the user changes something.
TEST_F(GhostAppSoundTest, OddStoredValuesAreReadSafelyAndLeftAsWritten)
{
    struct Case {
        const char* file;
        int slider;
    };
    const Case cases[] = {
        {R"({"migratedAppChoices": true, "vehicle": "zeppelin", "audio.app.volume": 7})", 1000},
        {R"({"migratedAppChoices": true, "vehicle": 12, "audio.app.volume": "loud"})", 0},
        {R"({"migratedAppChoices": true, "vehicle": null, "audio.app.volume": -2, "audio.app.enabled": null})", 0},
    };
    for (const Case& odd : cases) {
        SCOPED_TRACE(odd.file);
        gloam::testing::clearStoredChoices();
        writeFile(storeFile(), odd.file);
        {
            AppHarness harness;
            harness.launch();
            EXPECT_EQ(harness.scene().vehicle(), Vehicle::corsel);
            EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Corsel"));
            EXPECT_EQ(harness.app->soundVolume()->value(), odd.slider);
            EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound off \u00b7 Turn on"));
            harness.runScene();
            harness.app->applicationDidBecomeActive();
            EXPECT_FALSE(harness.app->switchingVehicle());
            EXPECT_EQ(readFile(storeFile()), odd.file) << "untouched until the user changes something";

            QTest::mouseClick(harness.app->soundButton(), Qt::LeftButton);
        }
        EXPECT_TRUE(SoundPreference::enabled(SoundMode::app));
        EXPECT_NE(readFile(storeFile()), odd.file);
    }
}

TEST_F(GhostAppSoundTest, TheFirstLaunchCopiesTheScreenSaversOlderChoices)
{
    writeFile(GloamyardPreferences::legacyModuleFile(GloamyardPreferences::configDirectory()),
              R"({"vehicle": "vantre", "audio.app.enabled": true, "audio.app.volume": 0.5})");
    AppHarness harness;
    harness.launch();
    EXPECT_EQ(harness.scene().vehicle(), Vehicle::vantre);
    EXPECT_EQ(harness.app->picker()->currentText(), QStringLiteral("Vantre"));
    EXPECT_EQ(harness.app->soundButton()->text(), QStringLiteral("Sound on \u00b7 Mute"));
    EXPECT_EQ(harness.app->soundVolume()->value(), 500);
}

class GhostAppMenuTest : public ::testing::Test {
protected:
    void SetUp() override { gloam::testing::clearStoredChoices(); }
};

TEST_F(GhostAppMenuTest, OneAppMenuWithItsItemsAndKeys)
{
    AppHarness harness;
    harness.launch();
    const app::GhostWindow& window = harness.window();
    QStringList titles;
    for (QAction* action : window.appMenu()->actions()) {
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(titles, (QStringList{"About Gloamyard", "-", "How to use\u2026", "Sound credits\u2026", "-",
                                   "Reduce flashing", "-", "Quit Gloamyard"}));
    EXPECT_EQ(window.appMenu()->title(), QStringLiteral("Gloamyard"));
    EXPECT_EQ(window.quitItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(window.helpItem()->shortcuts().contains(QKeySequence(Qt::Key_F1)));
    EXPECT_TRUE(window.helpItem()->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+?"))));
    EXPECT_TRUE(window.aboutItem()->shortcut().isEmpty());
    EXPECT_TRUE(window.creditsItem()->shortcut().isEmpty());

    QStringList effects;
    for (QAction* action : window.controls()->effectsMenu()->actions()) {
        effects << action->text();
        EXPECT_TRUE(action->shortcut().isEmpty());
    }
    EXPECT_EQ(effects, (QStringList{"Lightning", "Pumpkins", "Ghost", "Witch", "Hand wave", "Skyrell", "Amperle"}));
}

TEST_F(GhostAppMenuTest, ReduceFlashingIsStoredAppliedAndFollowsTheScreenSaversChoice)
{
    AppHarness harness;
    harness.launch();
    QAction* item = harness.window().reduceFlashingItem();
    ASSERT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked()) << "off by default";
    EXPECT_FALSE(harness.scene().reducesFlashing());
    EXPECT_TRUE(harness.app->validateMenuItem(item)) << "available while the scene loads";

    item->trigger();
    EXPECT_TRUE(FlashingPreference::reduced()) << "stored at once";
    EXPECT_TRUE(harness.scene().reducesFlashing());
    harness.runScene();
    EXPECT_TRUE(harness.app->validateMenuItem(item));

    // Turned off meanwhile in the screen saver's options.
    FlashingPreference::setReduced(false);
    harness.app->applicationDidBecomeActive();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(harness.scene().reducesFlashing());
    FlashingPreference::setReduced(true);
    harness.app->applicationDidBecomeActive();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(harness.scene().reducesFlashing());

    item->trigger();
    EXPECT_FALSE(FlashingPreference::reduced());
    EXPECT_FALSE(harness.scene().reducesFlashing());
}

TEST_F(GhostAppMenuTest, AStoredReduceFlashingChoiceHoldsFromLaunch)
{
    FlashingPreference::setReduced(true);
    AppHarness harness;
    harness.launch();
    EXPECT_TRUE(harness.window().reduceFlashingItem()->isChecked());
    EXPECT_TRUE(harness.scene().reducesFlashing());
    EXPECT_TRUE(FlashingPreference::reduced()) << "launching leaves the choice as stored";
}

TEST_F(GhostAppMenuTest, ControlsCarryTheirTextsTipsAndNames)
{
    AppHarness harness;
    harness.launch();
    const app::GhostApp& app = *harness.app;
    QStringList vehicles;
    for (int i = 0; i < app.picker()->count(); ++i) {
        vehicles << app.picker()->itemText(i);
    }
    EXPECT_EQ(vehicles, (QStringList{"Corsel", "Vantre", "Brusker", "Spirra"}));
    EXPECT_EQ(app.picker()->accessibleName(), QStringLiteral("Vehicle"));
    EXPECT_EQ(app.picker()->toolTip(), QStringLiteral("Choose the vehicle used by the app and screensaver."));
    EXPECT_EQ(app.automaticButton()->text(), QStringLiteral("Automatic effects"));
    EXPECT_TRUE(app.automaticButton()->isChecked());
    EXPECT_EQ(app.automaticButton()->toolTip(),
              QStringLiteral("Play occasional reactions and Easter eggs without clicking. Fog, cloth, and fireflies "
                             "keep moving either way."));
    EXPECT_EQ(app.effectsButton()->text(), QStringLiteral("Play effect"));
    EXPECT_EQ(app.effectsButton()->toolTip(),
              QStringLiteral("Trigger an effect. Ghost, witch, and hand effects are available when their scene "
                             "objects are in view."));
    EXPECT_EQ(harness.window().controls()->hint()->text(), QStringLiteral("Drag to orbit \u00b7 Click scene objects"));
    EXPECT_EQ(harness.window().soundBar()->note()->text(),
              QStringLiteral("Sound is off by default \u00b7 Music fades out at 90s"));
}

TEST_F(GhostAppMenuTest, TheContentKeepsItsProportionsAndMinimum)
{
    AppHarness harness;
    harness.launch();
    app::GhostWindow& window = harness.window();
    ASSERT_TRUE(runEventsUntil([&] { return window.content()->size() == QSize(1200, 540); }, 5.0))
        << window.content()->width() << "x" << window.content()->height();
    EXPECT_EQ(window.content()->minimumSize(), QSize(1000, 484));
    const platform::Rect frame = harness.scene().frame();
    EXPECT_EQ(frame.y, 40.0F) << "the scene sits on the control row";
    EXPECT_EQ(frame.width, 1200.0F);
    EXPECT_EQ(frame.height, 500.0F);

    window.resize(1500, window.height());
    ASSERT_TRUE(runEventsUntil([&] { return window.content()->size() == QSize(1500, 675); }, 5.0))
        << window.content()->width() << "x" << window.content()->height();
    EXPECT_EQ(harness.scene().frame().height, 635.0F);
}

TEST(GhostWindowSizeTest, TheMinimumAndFirstSizeFitSmallAndScaledScreens)
{
    // Work areas in points (a panel of 32 at the top), with a 30-point
    // title bar and the menu and sound bar (22 + 34) above the content.
    const int chrome = 30 + 22 + 34;
    struct Case {
        const char* screen;
        QSize available;
        QSize minimum;
        QSize first;
    };
    const Case cases[] = {
        {"1920 x 1080 at 100 %", {1920, 1048}, {1000, 484}, {1200, 540}},
        {"1366 x 768 at 100 %", {1366, 736}, {1000, 484}, {1200, 540}},
        {"1280 x 720 at 100 %", {1280, 688}, {1000, 484}, {1200, 540}},
        {"1366 x 768 at 150 %", {911, 480}, {814, 394}, {875, 394}},
        {"1920 x 1080 at 200 %", {960, 508}, {871, 422}, {937, 422}},
        {"2560 x 1440 at 250 %", {1024, 544}, {946, 458}, {1017, 458}},
    };
    for (const Case& screen : cases) {
        SCOPED_TRACE(screen.screen);
        const QSize minimum = app::GhostWindow::minimumContentFor(screen.available, chrome, 0);
        const QSize first = app::GhostWindow::initialContentFor(screen.available, chrome, 0);
        EXPECT_EQ(minimum, screen.minimum);
        EXPECT_EQ(first, screen.first);
        EXPECT_LE(minimum.width(), screen.available.width());
        EXPECT_LE(minimum.height() + chrome, screen.available.height());
        EXPECT_NEAR(static_cast<double>(minimum.width()) / minimum.height(), 1000.0 / 484.0, 0.01);
        EXPECT_NEAR(static_cast<double>(first.width()) / first.height(), 1200.0 / 540.0, 0.01);
    }
    EXPECT_EQ(app::GhostWindow::minimumContentFor({}, chrome, 0), QSize(1000, 484)) << "no screen: the full size";
    EXPECT_EQ(app::GhostWindow::minimumContentFor({1000, 600}, chrome, 8), QSize(992, 480)) << "less the frame";
}

TEST_F(GhostAppMenuTest, HelpIsAWindowModalMessageWithFiveParagraphs)
{
    AppHarness harness;
    harness.launch();
    harness.app->showHelp();
    QMessageBox* help = harness.window().helpBox();
    ASSERT_TRUE(help->isVisible());
    EXPECT_EQ(help->text(), QStringLiteral("Explore Gloamyard"));
    EXPECT_EQ(help->windowModality(), Qt::WindowModal);
    const QStringList paragraphs = help->informativeText().split(QStringLiteral("\n\n"));
    ASSERT_EQ(paragraphs.size(), 5);
    EXPECT_EQ(paragraphs[0], QStringLiteral("Drag the scene to orbit the car. Click pumpkins, gravestones, the moon, "
                                            "or the hand to trigger their reactions. Use Play effect for the same "
                                            "effects and the Skyrell and Amperle surprises."));
    EXPECT_TRUE(paragraphs[1].contains(QStringLiteral("Reduce flashing, in the Gloamyard menu,")));
    EXPECT_TRUE(paragraphs[3].contains(QStringLiteral("XScreenSaver settings")));
    EXPECT_FALSE(help->informativeText().contains(QStringLiteral("System Settings")));
    help->accept();
}

TEST_F(GhostAppMenuTest, CreditsOpenWithTheDesktopOrInADialog)
{
    AppHarness harness;
    const std::filesystem::path credits = harness.resources() / "Audio" / "CREDITS.txt";
    writeFile(credits, "Thunder: made by the forge.\n");
    harness.launch();
    EXPECT_TRUE(harness.app->validateMenuItem(harness.window().creditsItem()));

    harness.window().creditsItem()->trigger();
    ASSERT_EQ(harness.opened.size(), 1U);
    EXPECT_EQ(harness.opened[0], QUrl::fromLocalFile(QString::fromStdString(credits.string())));
    QDialog* dialog = harness.window().creditsDialog();
    EXPECT_FALSE(dialog->isVisible());

    harness.opensFiles = false;
    harness.app->showCredits();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("Thunder: made by the forge.\n"));
    dialog->reject();

    // The desktop's opener would start and find nothing for plain text.
    harness.opensFiles = true;
    harness.desktopOpensText = false;
    harness.app->showCredits();
    ASSERT_TRUE(dialog->isVisible()) << "no application for plain text: shown here";
    EXPECT_EQ(harness.opened.size(), 2U) << "not handed to an opener that cannot show it";
    dialog->reject();
    harness.desktopOpensText = true;

    std::filesystem::remove(credits);
    harness.app->showCredits();
    ASSERT_TRUE(dialog->isVisible()) << "a missing file is said, not opened";
    EXPECT_TRUE(dialog->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("missing")));
    EXPECT_EQ(harness.opened.size(), 2U) << "a missing file is not handed to the desktop";
    dialog->reject();
}

TEST_F(GhostAppMenuTest, AboutShowsTheVersion)
{
    AppHarness harness;
    harness.launch();
    harness.window().aboutItem()->trigger();
    QMessageBox* about = harness.window().aboutBox();
    ASSERT_TRUE(about->isVisible());
    EXPECT_TRUE(about->text().contains(QStringLiteral("Version " GLOAMYARD_VERSION))) << about->text().toStdString();
    EXPECT_EQ(about->windowModality(), Qt::WindowModal);
    about->accept();
}

} // namespace
