#include "engine/prefs/FlashingPreference.h"
#include "engine/prefs/GloamyardPreferences.h"
#include "engine/prefs/SoundPreference.h"
#include "engine/prefs/VehiclePreference.h"
#include "engine/prefs/VehicleSettings.h"
#include "saver/GloamyardConfiguration.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

namespace gloam {
namespace {

class OptionsSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::remove(store().file());
        std::filesystem::remove(damagedFile());
    }

    static platform::SettingsStore& store() { return GloamyardPreferences::defaults(); }
    static std::filesystem::path damagedFile() { return store().file().string() + ".damaged"; }

    static QJsonObject stored() { return store().snapshot(); }
};

TEST_F(OptionsSheetTest, ControlsSitWhereThePanelPlacesThem)
{
    VehicleSettings settings;
    EXPECT_EQ(settings.window->windowTitle(), QStringLiteral("Gloamyard Options"));
    EXPECT_EQ(settings.window->size(), QSize(420, 320));
    // Frames measured from the bottom left, as laid out: (x, y, w, h).
    struct Case {
        QWidget* widget;
        QRect bottomLeftFrame;
    };
    const Case cases[] = {
        {settings.picker, {125, 265, 265, 28}},      {settings.soundStatus, {26, 188, 365, 24}},
        {settings.soundEnabled, {26, 157, 365, 28}}, {settings.soundVolume, {110, 65, 280, 22}},
        {settings.cancelButton, {220, 12, 82, 28}},  {settings.saveButton, {310, 12, 82, 28}},
    };
    for (const Case& c : cases) {
        const QRect& f = c.bottomLeftFrame;
        EXPECT_EQ(c.widget->geometry(), QRect(f.x(), 320 - f.y() - f.height(), f.width(), f.height()))
            << c.widget->metaObject()->className();
    }
    ASSERT_EQ(settings.picker->count(), 4);
    EXPECT_EQ(settings.picker->itemText(0), QStringLiteral("Corsel"));
    EXPECT_EQ(settings.picker->itemText(3), QStringLiteral("Spirra"));
    EXPECT_EQ(settings.picker->accessibleName(), QStringLiteral("Screensaver vehicle"));
    EXPECT_EQ(settings.soundVolume->accessibleName(), QStringLiteral("Screensaver sound volume"));
    EXPECT_EQ(settings.soundEnabled->text(), QStringLiteral("Enable screensaver sound"));
}

TEST_F(OptionsSheetTest, OpensWithSoundOffAndTickingOnlyChangesTheControls)
{
    VehicleSettings settings;
    settings.prepare();
    EXPECT_FALSE(settings.soundEnabled->isChecked());
    EXPECT_FALSE(settings.soundVolume->isEnabled());
    EXPECT_EQ(settings.soundStatus->text(), QStringLiteral("Sound is off"));
    EXPECT_DOUBLE_EQ(settings.volume(), 0.75);
    EXPECT_EQ(settings.picker->currentIndex(), 0);

    settings.soundEnabled->click();
    EXPECT_TRUE(settings.soundVolume->isEnabled());
    EXPECT_EQ(settings.soundStatus->text(), QStringLiteral("Sound is on"));
    EXPECT_TRUE(stored().isEmpty()) << "nothing is stored before Save";
}

TEST_F(OptionsSheetTest, PrepareLoadsTheStoredChoices)
{
    VehiclePreference::setSelected(Vehicle::brusker);
    SoundPreference::save(SoundMode::saver, true, 0.3F);
    VehicleSettings settings;
    settings.prepare();
    EXPECT_EQ(settings.picker->currentText(), QStringLiteral("Brusker"));
    EXPECT_TRUE(settings.soundEnabled->isChecked());
    EXPECT_TRUE(settings.soundVolume->isEnabled());
    EXPECT_NEAR(settings.volume(), 0.3, 1e-3);
    EXPECT_EQ(settings.soundStatus->text(), QStringLiteral("Sound is on"));

    store().setValue(QStringLiteral("vehicle"), QStringLiteral("hovercraft"));
    settings.prepare();
    EXPECT_EQ(settings.picker->currentIndex(), 0) << "an unknown vehicle selects the first";
}

TEST_F(OptionsSheetTest, CancelAfterChangingEverythingStoresNothing)
{
    VehiclePreference::setSelected(Vehicle::vantre);
    const QJsonObject before = stored();
    VehicleSettings settings;
    std::optional<int> finished;
    settings.finish = [&](int response) { finished = response; };
    settings.prepare();
    settings.picker->setCurrentIndex(3);
    settings.soundEnabled->click();
    settings.setVolume(0.1);
    settings.cancelButton->click();
    EXPECT_EQ(finished, QDialog::Rejected);
    EXPECT_EQ(stored(), before);
}

TEST_F(OptionsSheetTest, SaveStoresTheFourthVehicleAndTheSoundThenTellsTheOwnerLater)
{
    VehicleSettings settings;
    std::optional<int> finished;
    std::optional<Vehicle> saved;
    settings.finish = [&](int response) { finished = response; };
    settings.didSave = [&](Vehicle vehicle) { saved = vehicle; };
    settings.prepare();
    settings.picker->setCurrentIndex(3);
    settings.soundEnabled->click();
    settings.setVolume(0.4);
    settings.saveButton->click();

    EXPECT_EQ(finished, QDialog::Accepted);
    EXPECT_EQ(stored().value(QStringLiteral("vehicle")).toString(), QStringLiteral("spirra"));
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::spirra) << "what the app reads next";
    EXPECT_TRUE(SoundPreference::enabled(SoundMode::saver));
    EXPECT_NEAR(SoundPreference::volume(SoundMode::saver), 0.4, 1e-3);
    EXPECT_FALSE(SoundPreference::enabled(SoundMode::app)) << "app sound is separate";
    EXPECT_FALSE(saved.has_value()) << "didSave comes on the next turn of the event loop";
    QCoreApplication::processEvents();
    EXPECT_EQ(saved, Vehicle::spirra);
}

TEST_F(OptionsSheetTest, ReduceFlashingSitsBesideTheButtonsAndOnlySaveStoresIt)
{
    VehicleSettings settings;
    EXPECT_EQ(settings.reduceFlashing->text(), QStringLiteral("Reduce flashing"));
    EXPECT_EQ(settings.reduceFlashing->geometry(), QRect(26, 320 - 12 - 28, 185, 28));
    EXPECT_FALSE(settings.reduceFlashing->geometry().intersects(settings.cancelButton->geometry()));
    EXPECT_EQ(settings.window->size(), QSize(420, 320)) << "the panel keeps its size";

    std::optional<int> finished;
    settings.finish = [&](int response) { finished = response; };
    settings.prepare();
    EXPECT_FALSE(settings.reduceFlashing->isChecked()) << "off by default";
    settings.reduceFlashing->click();
    settings.cancelButton->click();
    EXPECT_EQ(finished, QDialog::Rejected);
    EXPECT_TRUE(stored().isEmpty()) << "Cancel stores nothing";

    settings.prepare();
    EXPECT_FALSE(settings.reduceFlashing->isChecked()) << "each presentation starts from the store";
    settings.reduceFlashing->click();
    settings.saveButton->click();
    EXPECT_TRUE(FlashingPreference::reduced()) << "what the app and the next saver scene read";
    EXPECT_EQ(stored().value(QStringLiteral("reduceFlashing")), QJsonValue(true));

    // Chosen in the app meanwhile: the next presentation shows it.
    FlashingPreference::setReduced(false);
    settings.prepare();
    EXPECT_FALSE(settings.reduceFlashing->isChecked());
    FlashingPreference::setReduced(true);
    settings.prepare();
    EXPECT_TRUE(settings.reduceFlashing->isChecked());
    settings.reduceFlashing->click();
    settings.saveButton->click();
    EXPECT_FALSE(FlashingPreference::reduced());
}

TEST_F(OptionsSheetTest, DidSaveIsDroppedWhenThePanelIsGoneFirst)
{
    bool called = false;
    {
        VehicleSettings settings;
        settings.finish = [](int) {};
        settings.didSave = [&](Vehicle) { called = true; };
        settings.prepare();
        settings.save();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

TEST_F(OptionsSheetTest, ReturnSavesAndEscapeCancels)
{
    VehicleSettings settings;
    std::vector<int> responses;
    settings.finish = [&](int response) { responses.push_back(response); };
    settings.prepare();
    settings.window->show();
    settings.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings.window));
    // Through the window system, so the keys meet the shortcuts as typed keys do.
    QWindow* window = settings.window->windowHandle();
    settings.picker->setCurrentIndex(2);
    QTest::keyClick(window, Qt::Key_Escape);
    // A button's shortcut clicks it the way a pointer would, after showing it pressed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !responses.empty(); }));
    EXPECT_EQ(responses, std::vector<int>{QDialog::Rejected});
    EXPECT_FALSE(stored().contains(QStringLiteral("vehicle")));
    QTest::keyClick(window, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return responses.size() > 1; }));
    EXPECT_EQ(responses, (std::vector<int>{QDialog::Rejected, QDialog::Accepted}));
    EXPECT_EQ(stored().value(QStringLiteral("vehicle")).toString(), QStringLiteral("brusker"));
}

TEST_F(OptionsSheetTest, WithoutAFinishCallbackThePanelEndsItsOwnWindow)
{
    VehicleSettings settings;
    settings.prepare();
    settings.window->show();
    settings.save();
    EXPECT_EQ(settings.window->result(), QDialog::Accepted);
    EXPECT_FALSE(settings.window->isVisible());
    settings.window->show();
    settings.cancel();
    EXPECT_EQ(settings.window->result(), QDialog::Rejected);
    EXPECT_FALSE(settings.window->isVisible());
}

TEST_F(OptionsSheetTest, ADamagedSettingsFileOpensWithDefaultsAndIsKeptAside)
{
    std::filesystem::create_directories(store().file().parent_path());
    std::ofstream(store().file()) << "{ \"vehicle\": \"spir";
    VehicleSettings settings;
    settings.finish = [](int) {};
    settings.prepare();
    EXPECT_EQ(settings.picker->currentIndex(), 0);
    EXPECT_FALSE(settings.soundEnabled->isChecked());
    EXPECT_DOUBLE_EQ(settings.volume(), 0.75);
    settings.picker->setCurrentIndex(1);
    settings.save();
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::vantre);
    std::ifstream kept(damagedFile());
    std::string content((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "{ \"vehicle\": \"spir") << "the damaged file is kept, not lost";
}

TEST_F(OptionsSheetTest, ConfigurationPresentsTheStoredValuesEveryTime)
{
    VehiclePreference::setSelected(Vehicle::brusker);
    saver::GloamyardConfiguration configuration;
    int ended = 0;
    configuration.onSheetDidEnd = [&] { ++ended; };
    QWidget* view = configuration.view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(configuration.preferredContentSize(), QSize(420, 320));
    EXPECT_EQ(configuration.settings.window->contentView(), nullptr) << "the panel left its own window";
    EXPECT_TRUE(view->isAncestorOf(configuration.settings.picker));

    configuration.configureSheetWillPresent();
    EXPECT_EQ(configuration.settings.picker->currentText(), QStringLiteral("Brusker"));
    configuration.settings.picker->setCurrentIndex(0);
    configuration.settings.soundEnabled->click();
    configuration.settings.cancelButton->click();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::brusker);

    configuration.configureSheetWillPresent();
    EXPECT_EQ(configuration.settings.picker->currentText(), QStringLiteral("Brusker"))
        << "a presentation after Cancel starts from the store again";
    EXPECT_FALSE(configuration.settings.soundEnabled->isChecked());

    configuration.settings.picker->setCurrentIndex(1);
    configuration.settings.saveButton->click();
    EXPECT_EQ(ended, 2) << "Save ends the sheet too";
    EXPECT_EQ(VehiclePreference::selected(), Vehicle::vantre);
}

TEST_F(OptionsSheetTest, ThePanelIsReleasedOnceWhicheverOfSheetAndControllerGoesFirst)
{
    // The host's sheet holds the panel and goes first.
    {
        saver::GloamyardConfiguration configuration;
        auto sheet = std::make_unique<QDialog>();
        QPointer<QWidget> panel = configuration.view();
        panel->setParent(sheet.get());
        sheet.reset();
        EXPECT_TRUE(panel.isNull()) << "the sheet deletes the panel it holds";
        EXPECT_EQ(configuration.view(), nullptr) << "the controller knows the panel is gone";
        EXPECT_TRUE(configuration.isViewLoaded()) << "and does not build a second one";
    }
    // The controller goes first and leaves the panel to the sheet.
    {
        auto sheet = std::make_unique<QDialog>();
        QPointer<QWidget> panel;
        {
            saver::GloamyardConfiguration configuration;
            panel = configuration.view();
            panel->setParent(sheet.get());
        }
        EXPECT_FALSE(panel.isNull()) << "a panel a window holds is the window's";
        sheet.reset();
        EXPECT_TRUE(panel.isNull());
    }
    // No host took the panel: the controller deletes it.
    QPointer<QWidget> orphan;
    {
        saver::GloamyardConfiguration configuration;
        orphan = configuration.view();
    }
    EXPECT_TRUE(orphan.isNull());
}

} // namespace
} // namespace gloam
